# The source archive: drivenudge-<version>-source.tar.gz, holding exactly the files git tracks
# (included from the top CMakeLists.txt; made with cpack --config CPackSourceConfig.cmake).
# CPack copies the source folder less the ignored paths below (build trees, git's own files),
# then cmake/source-package-prune.cmake removes from that copy whatever git does not track.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME "drivenudge-${PROJECT_VERSION}-source")
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git$;/\\\\.git/;/build/;/out/")
# Read by cpack (every CPACK_ variable is), not by this configure run.
set(CPACK_DN_SOURCE_DIR "${CMAKE_SOURCE_DIR}")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_SOURCE_DIR}/cmake/source-package-prune.cmake")
