#pragma once

#include <memory>

namespace main_window {
class TFmain;
}

namespace shell {

inline constexpr const char* kApplicationTitle = "QuilmaCOOP - Analisis de Clientes";

// The main window's first-show handler: reads db.ini, connects, clears the
// window; a failed connection is reported and ends the program.
void FormShow(main_window::TFmain& window);

// The main window's key preview: Enter and Down move to the next control,
// Up to the previous one, except inside a grid. The move is queued, so the
// focused control still sees the key.
void FormKeyDown(main_window::TFmain& window, int key);

// Wires the handlers above into a newly created main window.
void WireMainWindow(main_window::TFmain& window);

// Creates and wires the main window. When that fails (the client library
// cannot be loaded), shows the last-resort box and returns nullptr: the
// program then ends with exit code 1 before any window shows.
std::unique_ptr<main_window::TFmain> CreateMainWindow();

}  // namespace shell
