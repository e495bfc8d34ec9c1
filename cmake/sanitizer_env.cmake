# How every sanitized program of this build runs: each test, each replay of a fuzz corpus and
# each corpus generator gets GPUPROF_SANITIZER_ENV, and build/<preset>/sanitizer-env.sh carries
# the same for a shell (`. build/asan/sanitizer-env.sh` before fuzzing or running a test by
# hand). This is the one place the options are set.
#
# Running out of memory is a handled outcome here (every allocation goes through g_pMemAlloc,
# which returns null), so the runtime must return null rather than abort. Leaks are errors;
# tests/lsan.supp holds the ones inside system libraries that Qt loads, none of our own.
set(GPUPROF_SANITIZER_ENV
  "ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1:abort_on_error=1"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")

set(_sanitizer_script "# Written by CMake (cmake/sanitizer_env.cmake): the sanitizer options of this build.\n")
foreach(_assignment IN LISTS GPUPROF_SANITIZER_ENV)
  string(FIND "${_assignment}" "=" _equals)
  string(SUBSTRING "${_assignment}" 0 ${_equals} _name)
  math(EXPR _value_start "${_equals} + 1")
  string(SUBSTRING "${_assignment}" ${_value_start} -1 _value)
  string(APPEND _sanitizer_script "export ${_name}='${_value}'\n")
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/sanitizer-env.sh "${_sanitizer_script}")
