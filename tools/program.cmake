# The program and its data. Building the program generates the data, and
# installing puts the program and its Data folder side by side, so the media
# search finds the data beside the program (program folder + "\Data\..."):
#   <prefix>/lib/trevolia/trevolia
#   <prefix>/lib/trevolia/Data/...
#   <prefix>/bin/trevolia -> ../lib/trevolia/trevolia
# The program folder is the one of the real executable (the link resolved).
install(FILES ${TREVOLIA_DATA_FILES} DESTINATION lib/trevolia/Data)
if(TARGET trevolia)
  add_dependencies(trevolia trevolia_data)
  install(TARGETS trevolia RUNTIME DESTINATION lib/trevolia)
  install(CODE [[
    file(MAKE_DIRECTORY "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
    file(CREATE_LINK ../lib/trevolia/trevolia "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/trevolia" SYMBOLIC)
    message(STATUS "Installing: $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/trevolia -> ../lib/trevolia/trevolia")
  ]])
endif()
