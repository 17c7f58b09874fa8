# Installs the build into a fresh folder and checks that every file a person's
# desktop needs is where it looks for it, and that the desktop entry and the
# AppStream description pass their validators. cmake -DBUILD=dir -DSOURCE=dir -P
set(root ${BUILD}/install-layout-test)
file(REMOVE_RECURSE ${root})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${root}/usr
  OUTPUT_QUIET RESULT_VARIABLE status)
set(id org.librarycreator.LibraryCreator)
set(expected bin/library-creator bin/qvlib share/man/man1/qvlib.1 share/man/man1/library-creator.1
  share/applications/${id}.desktop share/metainfo/${id}.metainfo.xml
  share/icons/hicolor/scalable/apps/library-creator.svg)
foreach(size 16 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/library-creator.png)
endforeach()
foreach(f ${expected})
  if(NOT status EQUAL 0 OR NOT EXISTS ${root}/usr/${f})
    message(FATAL_ERROR "not installed: usr/${f}")
  endif()
endforeach()
execute_process(COMMAND desktop-file-validate ${root}/usr/share/applications/${id}.desktop
  OUTPUT_VARIABLE hints RESULT_VARIABLE status)
execute_process(COMMAND appstreamcli validate --no-net ${root}/usr/share/metainfo/${id}.metainfo.xml
  OUTPUT_VARIABLE report RESULT_VARIABLE status2)
if(NOT status EQUAL 0 OR NOT hints STREQUAL "" OR NOT status2 EQUAL 0)
  message(FATAL_ERROR "desktop entry or metainfo refused:\n${hints}${report}")
endif()
file(REMOVE_RECURSE ${root})
