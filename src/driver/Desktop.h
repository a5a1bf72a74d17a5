// What the greeting and the gallery need on a desktop: their command line,
// the display settings handed to the media library before it starts, a
// window instead of full screen when asked, presenting no more often than
// the display refreshes, and the data folder of an installed copy.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <string>

namespace CLI {
class App;
}

// The greeting's and the gallery's command line: `--window [K]`, `--data DIR`,
// `--help`, `--version`, and what `addOptions` adds (the gallery's own), whose
// usage words `usage` gives (" [--list]"). Returns -1 to go on, with the
// window scale set (full screen without the option, a window K times the
// screen's size with it) and the data folder, when named. Otherwise the
// status to exit with: 0 after --help, --version or an option that ends the
// program by throwing CLI::Success, 2 after a usage line on standard error.
int ParseDisplayCommandLine(int argc, char** argv, const char* program, const char* about,
                            const std::function<void(CLI::App&)>& addOptions = nullptr,
                            const char* usage = "");

// Reads the data from `folder` (common/DataFile.h's DataFolder) from now on:
// no installed copy's folder stands in for it.
void UseDataFolder(const std::string& folder);

// An installed copy keeps its data in the data folder chosen at build time. When
// the working directory has no dat/ and that folder has one, the program
// changes into it; a dat/ in the working directory always wins. False, after
// SetError naming both folders and how to make the data, when neither has one.
bool UseInstalledData();
// The folder UseInstalledData would change into, or null.
const char* InstalledDataFolder();

// Before the video subsystem starts: sdl12-compat presents in step with the
// display's refresh and scales with square pixels, unless the user has set
// those variables; a window is scaled as the command line asked.
void PrepareDisplayEnvironment();
// After the video subsystem starts, before the mode is set: a window scale
// that would make the window larger than the desktop (its size in pixels;
// 0 when unknown) is lowered to the largest that fits, with a line saying so.
void FitWindowToDesktop(int desktopWidth, int desktopHeight);
// The video mode's flags: double-buffered full screen, or a window.
Uint32 ScreenModeFlags();
// After the video mode is set: learns the display's refresh period and
// forgets the last presented frame.
void StartPresenting();
// After SDL_Flip: when the flip returned before the display's next refresh
// was due (drivers that do not wait for it, such as virtual displays and the
// headless driver), sleeps until then. The next frame then reads the music
// position fresh.
void WaitForRefresh();
// Full screen to window and back (Alt+Enter).
void ToggleFullScreen();
