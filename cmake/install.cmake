# What `cmake --install` lays out, and the Debian package CPack makes of the same:
#
#   bin/corvid                                      the console
#   bin/gpucap                                      the command-line capture tool
#   bin/gpucap-plot-frames                          GPU time per frame of `gpucap frames` as a PNG
#   bin/gpuprofiler-demo-target                     the demo target
#   lib/gpuprofiler/libbedrock.so                   the shared runtime
#   lib/gpuprofiler/plugins/libgpuprofiler_subtool.so   the GPU profiler, in the installed console's plug-in folder
#   share/doc/gpuprofiler/                          README and the capture format
#
# The libraries are private to the product, so they live in a folder of their own; run paths
# relative to each program ($ORIGIN) find them wherever the tree is installed.
set(GPUPROF_LIB_DIR lib/gpuprofiler)
set(GPUPROF_PLUGIN_DIR ${GPUPROF_LIB_DIR}/plugins)

set_target_properties(corvid gpucap gpuprofiler-demo-target PROPERTIES INSTALL_RPATH "$ORIGIN/../${GPUPROF_LIB_DIR}")
set_target_properties(gpuprofiler_subtool PROPERTIES INSTALL_RPATH "$ORIGIN/..")

install(TARGETS corvid gpucap gpuprofiler-demo-target RUNTIME DESTINATION bin)
install(TARGETS bedrock LIBRARY DESTINATION ${GPUPROF_LIB_DIR})
install(TARGETS gpuprofiler_subtool LIBRARY DESTINATION ${GPUPROF_PLUGIN_DIR})
install(PROGRAMS scripts/plot-frames.sh DESTINATION bin RENAME gpucap-plot-frames)
install(FILES README.md docs/capture-format.md DESTINATION share/doc/gpuprofiler)

set(CPACK_PACKAGE_NAME gpuprofiler)
set(CPACK_PACKAGE_VENDOR "GPU profiler team")
set(CPACK_PACKAGE_CONTACT "GPU profiler team <gpuprofiler@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GPU frame profiler: developer console, profiler plug-in, capture tool and demo target")
set(CPACK_PACKAGE_INSTALL_DIRECTORY gpuprofiler)
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}_${PROJECT_VERSION}_amd64")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
# Qt and the C++ runtime come from dpkg-shlibdeps; our own libraries are found in the package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The plot script draws with gnuplot; everything else runs without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS gnuplot-nox)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_BINARY_DIR}/bedrock")
include(CPack)
