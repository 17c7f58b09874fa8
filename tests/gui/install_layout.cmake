# Installed, the build puts every file where a desktop looks; its entries pass their validators.
set(root ${BUILD}/install-layout-test/usr)
file(REMOVE_RECURSE ${root})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${root} OUTPUT_QUIET)
set(id org.librarycreator.LibraryCreator)
set(expected bin/library-creator bin/qvlib share/man/man1/qvlib.1 share/man/man1/library-creator.1
  share/icons/hicolor/scalable/apps/library-creator.svg)
foreach(size 16 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/library-creator.png)
endforeach()
foreach(f ${expected})
  if(NOT EXISTS ${root}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
execute_process(COMMAND desktop-file-validate ${root}/share/applications/${id}.desktop
  COMMAND_ECHO NONE OUTPUT_VARIABLE remarks RESULT_VARIABLE a)
execute_process(COMMAND appstreamcli validate --no-net ${root}/share/metainfo/${id}.metainfo.xml
  OUTPUT_VARIABLE report RESULT_VARIABLE b)
if(NOT a EQUAL 0 OR NOT remarks STREQUAL "" OR NOT b EQUAL 0)
  message(FATAL_ERROR "${remarks}${report}")
endif()
