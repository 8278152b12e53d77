/* The program's version number. Its one source is project(Kelvane VERSION x.y.z) in
 * CMakeLists.txt, which hands the three parts to the compilers and to windres; the version
 * record, the manifest and the About box take it from there. */
#ifndef KELVANE_VERSION_MAJOR
#error "KELVANE_VERSION_MAJOR, _MINOR and _PATCH come from CMakeLists.txt"
#endif

#define KELVANE_STRINGIZE_(x) #x
#define KELVANE_STRINGIZE(x) KELVANE_STRINGIZE_(x)

/* "x.y.z" */
#define KELVANE_VERSION_TEXT                                                                 \
    KELVANE_STRINGIZE(KELVANE_VERSION_MAJOR) "." KELVANE_STRINGIZE(KELVANE_VERSION_MINOR) "." \
    KELVANE_STRINGIZE(KELVANE_VERSION_PATCH)
