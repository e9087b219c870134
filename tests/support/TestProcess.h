#pragma once

namespace testing_support {

// What every test program does before its QApplication exists: the
// offscreen platform (discovery starts test programs without ctest's
// environment), a private runtime folder, and a filter for the offscreen
// platform's noise.
void prepareTestProcess();

} // namespace testing_support
