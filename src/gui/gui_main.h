#pragma once

namespace tovakin::gui {

// The whole GUI program: options, run directory, core, window, event loop.
int runGui(int argc, char** argv);

}  // namespace tovakin::gui
