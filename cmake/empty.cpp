// Keeps a folder target valid before its first source file exists.
