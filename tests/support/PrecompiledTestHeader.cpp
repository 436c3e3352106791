// The source that GoogleTest's precompiled header is built with (tests/CMakeLists.txt); the test
// programs reuse the header, not this object.
