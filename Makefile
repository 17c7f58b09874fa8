# make run   - install dependencies, build, create a library on the demo drive and show it
# make test  - install dependencies, build with sanitizers, run every test, the threaded
#              checks under ThreadSanitizer and the three fuzzers for 20 s at once
# make bench - build release benchmarks and run them
# make gui   - start the desktop application with the demo drive in its drive list
# make screenshots - run the application under Xvfb and save pictures of a job
# make package - build a Debian package of the application and qvlib
# make reliability - write-fault, crash, damaged-library, full-drive and vanishing sweeps on a
#                    drive of SWEEP_FILES songs, then each fuzzer for 60 s
# make tsan  - the threaded tests and qvlib jobs with 8 readers under ThreadSanitizer

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 20
RELEASE := build/release
ASAN := build/asan
TSAN := build/tsan
FUZZ := build/fuzz
RELIABILITY := build/reliability
SWEEP_FILES ?= 3000
DEMO := build/demo-drive
# ccache, where installed, shares compiled objects between build folders.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# One configure per build folder, with Ninja: later builds re-run CMake by
# themselves when a CMakeLists.txt changes. A folder made by another
# generator is made afresh. $(call configure,FOLDER,OPTIONS)
configure = @[ -f $(1)/build.ninja ] || { rm -rf $(1) && cmake -G Ninja -S . -B $(1) $(LAUNCHER) $(2) >/dev/null; }
SHOTS := build/screenshots
# The trees that `make test` makes compile as a few large units (QV_UNITY);
# one made first by `make asan` keeps one unit per file.
UNITY ?= OFF

.PHONY: all deps release asan asan-configure asan-qvlib tsan tsan-build test unit fuzz fuzz-build fuzz-seeds fuzz-runs run demo gui screenshots package bench reliability clean

all: release

deps:
	@bash scripts/install-deps

release: deps
	$(call configure,$(RELEASE),-DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF -DQV_BENCH=ON)
	cmake --build $(RELEASE) -j $(JOBS)

asan: asan-configure
	cmake --build $(ASAN) -j $(JOBS)

unit: asan
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# Line tables are all a sanitizer report needs, and build faster than full
# debug information.
asan-configure: deps
	$(call configure,$(ASAN),-DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
		-DQV_UNITY=$(UNITY))

# The fuzz seeds include a library that qvlib of the sanitizer tree creates.
asan-qvlib: asan-configure
	cmake --build $(ASAN) -j $(JOBS) --target qvlib

# clang gives up on constant evaluation far sooner than GCC, and some tables
# of the engine are computed at compile time; the step limit matches GCC's.
FUZZERS := $(basename $(notdir $(wildcard tests/fuzz/*_fuzz.cpp)))
fuzz-build: deps
	$(call configure,$(FUZZ),-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DCMAKE_CXX_FLAGS=-fconstexpr-steps=33554432 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON \
		'-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -gline-tables-only -DNDEBUG' -DQV_UNITY=$(UNITY))
	cmake --build $(FUZZ) -j $(JOBS) --target $(FUZZERS)

# The seeds need qvlib of the sanitizer tree; `make test` builds that tree
# whole first (SEED_QVLIB=asan), so that one build runs in it at a time.
SEED_QVLIB ?= asan-qvlib
fuzz-seeds: fuzz-build $(SEED_QVLIB)
	/usr/bin/python3 tools/make-fuzz-seeds $(FUZZ)/seeds $(ASAN)/src/cli/qvlib

# Every fuzzer at once, each for FUZZ_SECONDS from its seeds and what its
# earlier runs kept.
fuzz: fuzz-seeds
	@$(MAKE) --no-print-directory fuzz-runs

fuzz-runs:
	@$(MAKE) --no-print-directory -j $(words $(FUZZERS)) $(addprefix fuzz-run-,$(FUZZERS))

fuzz-run-%:
	@mkdir -p $(FUZZ)/corpus-$*
	@$(FUZZ)/tests/fuzz/$* -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -print_final_stats=1 \
		$(FUZZ)/corpus-$* $(FUZZ)/seeds/$* 2>$(FUZZ)/$*.log || { tail -n 60 $(FUZZ)/$*.log; exit 1; }
	@echo "fuzz: $* for $(FUZZ_SECONDS) s, $$(sed -n 's/^stat::number_of_executed_units: *//p' $(FUZZ)/$*.log) executions"

# The tests whose threads meet, and a create and an update of qvlib with 8
# readers on a generated drive; any report of a race fails the run. -O1 is
# enough for ThreadSanitizer and builds faster; line tables, which keep the
# inlined frames, are all its reports need, and build a third faster than
# full debug information.
TSAN_TESTS := job_flow tag_reader_pool drive_scan
empty :=
tsan-build: deps
	$(call configure,$(TSAN),-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TSAN=ON -DQV_GUI=OFF \
		'-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG' \
		'-DQV_TEST_FILES=/job/($(subst $(empty) $(empty),|,$(TSAN_TESTS)))_test' -DQV_UNITY=$(UNITY))
	cmake --build $(TSAN) -j $(JOBS) --target qvlib job_test

tsan: tsan-build
	@TSAN_OPTIONS="halt_on_error=1 exitcode=66" $(TSAN)/tests/job_test >$(TSAN)/job_test.log 2>&1 \
		|| { tail -n 60 $(TSAN)/job_test.log; exit 1; }
	@echo "tsan: $(TSAN_TESTS) tests clean"
	@export TSAN_OPTIONS="halt_on_error=1 exitcode=66"; \
	/usr/bin/python3 tools/make-plain-drive $(TSAN)/drive 600 && \
	$(TSAN)/src/cli/qvlib create $(TSAN)/drive --fs fat --yes --readers 8 >$(TSAN)/qvlib.log 2>&1 && \
	/usr/bin/python3 tools/make-plain-drive $(TSAN)/more 60 && cp -r $(TSAN)/more/Music $(TSAN)/drive/More && \
	$(TSAN)/src/cli/qvlib update $(TSAN)/drive --fs fat --yes --readers 8 >>$(TSAN)/qvlib.log 2>&1 && \
	$(TSAN)/src/cli/qvlib check $(TSAN)/drive --fs fat >>$(TSAN)/qvlib.log 2>&1 \
		|| { tail -n 60 $(TSAN)/qvlib.log; exit 1; }; \
	echo "tsan: qvlib create and update with 8 readers clean"

# The three trees build side by side, so that the cores never wait on one
# link or one long test; the fuzzers run last, alone.
test: deps
	@$(MAKE) --no-print-directory -j 3 -O unit tsan fuzz-seeds UNITY=ON SEED_QVLIB=asan
	@$(MAKE) --no-print-directory fuzz-runs

demo: release
	/usr/bin/python3 tools/make-demo-drive $(DEMO)

# The demo drive is a plain folder, so --fs names its kind.
run: demo
	$(RELEASE)/src/cli/qvlib create $(DEMO) --fs fat --yes
	$(RELEASE)/src/cli/qvlib dump $(DEMO) --fs fat

# The demo drive is a plain folder, so --volume names its kind.
gui: demo
	$(RELEASE)/src/gui/library-creator --volume $(DEMO):msdos

# A fresh demo drive named STICK at a mount path as a desktop gives one
# (SHOT_DRIVE, removed afterwards): the application creates its library, and
# qvlib checks what it wrote; then the update once more, in German.
SHOT_DRIVE ?= /media/$(shell id -un)/STICK
SHOT_RUN = xvfb-run -a -s "-screen 0 1024x768x24 -wr" $(RELEASE)/src/gui/library-creator-tour \
	--volume $(SHOT_DRIVE):msdos
screenshots: release
	@[ ! -e $(SHOT_DRIVE) ] || { echo "screenshots: $(SHOT_DRIVE) is in use; choose SHOT_DRIVE=..."; exit 1; }
	rm -rf $(SHOTS) && mkdir -p $(SHOTS)/de
	/usr/bin/python3 tools/make-demo-drive $(SHOT_DRIVE)
	LANG=en_US.UTF-8 LANGUAGE= $(SHOT_RUN) --screenshots $(SHOTS) || { rm -rf $(SHOT_DRIVE); exit 1; }
	LANG=de_DE.UTF-8 LANGUAGE= $(SHOT_RUN) --screenshots $(SHOTS)/de || { rm -rf $(SHOT_DRIVE); exit 1; }
	$(RELEASE)/src/cli/qvlib check $(SHOT_DRIVE) --fs fat; status=$$?; rm -rf $(SHOT_DRIVE); exit $$status
	ls $(SHOTS)/*.png $(SHOTS)/de/*.png

# A Debian package of both programs, their manual pages, the desktop entry,
# the AppStream description and the icons, in build/package.
PACKAGE := build/package
package: deps
	$(call configure,$(PACKAGE),-DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr)
	cmake --build $(PACKAGE) -j $(JOBS)
	cd $(PACKAGE) && cpack -G DEB
	ls $(PACKAGE)/*.deb

bench: release
	@for b in $(RELEASE)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done

# One line per sweep and per fuzzer: faults injected and drives left intact,
# crash points and recoveries, executions and crashes.
reliability: deps
	$(call configure,$(RELIABILITY),-DCMAKE_BUILD_TYPE=Release -DQV_GUI=OFF -DQV_TEST_FILES=/drive_safety_test)
	cmake --build $(RELIABILITY) -j $(JOBS) --target job_test
	@QV_SWEEP_FILES=$(SWEEP_FILES) $(RELIABILITY)/tests/job_test --gtest_filter='DriveSafetyTest.*Sweep*' \
		>$(RELIABILITY)/sweeps.log 2>&1; status=$$?; \
		grep -E '^(write faults|crash points|vanishing folders|full drive|damaged libraries)' $(RELIABILITY)/sweeps.log; \
		[ $$status -eq 0 ] || { tail -n 40 $(RELIABILITY)/sweeps.log; exit 1; }
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=60 >$(RELIABILITY)/fuzz.log 2>&1; status=$$?; \
		for f in tests/fuzz/*_fuzz.cpp; do \
			name=$$(basename $$f .cpp); \
			runs=$$(sed -n 's/^stat::number_of_executed_units: *//p' $(FUZZ)/$$name.log 2>/dev/null); \
			crashes=$$(grep -c -E '^==[0-9]+==ERROR|deadly signal' $(FUZZ)/$$name.log 2>/dev/null); \
			echo "fuzz $$name: $${runs:-0} executions, $${crashes:-0} crashes over 60 s"; \
		done; \
		[ $$status -eq 0 ] || { tail -n 40 $(RELIABILITY)/fuzz.log; exit 1; }

clean:
	rm -rf build
