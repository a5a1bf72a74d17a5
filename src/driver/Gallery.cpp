#include "driver/Gallery.h"

#include "common/Data.h"
#include "common/DataFile.h"
#include "common/Error.h"
#include "driver/Desktop.h"
#include "effects/unscheduled/EffectFrame.h"
#include "effects/unscheduled/Flares.h"
#include "effects/unscheduled/TileWobble.h"
#include "effects/unscheduled/Tunnel.h"
#include "image/Surface.h"
#include "music/Music.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace {

constexpr double TwoPi = 2 * std::numbers::pi;

bool IsPicture(const SDL_Surface* s, int width, int height) {
    return s && s->format->BitsPerPixel == 32 && s->w == width && s->h == height;
}

// The pictures the effects are made from, at their sizes in the data table:
// the background and the twister's texture.
bool HavePictures(const SurfaceSlotArray& slots) {
    for (Slot slot : {SlotBackground, SlotTexture}) {
        const DataPicture& picture = SlotPicture(slot);
        if (!IsPicture(slots[slot], picture.width, picture.height))
            return SetError("picture \"%s\" is missing", DataFolderPath(picture.path).c_str());
    }
    return true;
}

// Copies the middle 320x200 of a 640x480 effect frame to the screen.
void ShowMiddle(SDL_Surface* frame, SDL_Surface* screen) {
    SDL_Rect window;
    window.x = (EffectFrameWidth - ScreenWidth) / 2;
    window.y = (EffectFrameHeight - ScreenHeight) / 2;
    window.w = ScreenWidth;
    window.h = ScreenHeight;
    SDL_UpperBlit(frame, &window, screen, nullptr);
}

// The tunnel, seen through a porthole in the beach.
struct {
    SDL_Surface* frame = nullptr;
    SDL_Surface* overlay = nullptr;
    SDL_Surface* texture = nullptr; // borrowed: the twister's texture
} Tunnel;

void ReleaseTunnel() {
    SDL_FreeSurface(Tunnel.frame);
    SDL_FreeSurface(Tunnel.overlay);
    Tunnel = {};
    FreeTunnelTables();
}

bool PrepareTunnel(const SurfaceSlotArray& slots, SDL_Surface*) {
    ReleaseTunnel();
    if (!HavePictures(slots)) return false;
    Tunnel.texture = slots[SlotTexture];
    Tunnel.frame = MakeEffectFrame();
    Tunnel.overlay = Tunnel.frame ? MakeTunnelOverlay(slots[SlotBackground]) : nullptr;
    if (!Tunnel.overlay) {
        ReleaseTunnel();
        return false;
    }
    BuildTunnelTables();
    if (!TunnelDepth) {
        ReleaseTunnel();
        return SetError("out of memory for the tunnel's tables");
    }
    return true;
}

void DrawTunnelFrame(SDL_Surface* screen) {
    if (!Tunnel.frame) return;
    // Flying in steadily while the tunnel twists to and fro; the porthole drifts.
    const double t = FrameTime;
    const uint32_t depthShift = uint32_t(FrameTime / 5);
    const uint32_t angleShift = uint32_t(int32_t(48 * std::sin(t * TwoPi / 7000)) + FrameTime / 40);
    const int32_t overlayX = int32_t(90 * std::sin(t * TwoPi / 6100));
    const int32_t overlayY = int32_t(40 * std::sin(t * TwoPi / 4300));
    DrawTunnel(Tunnel.texture, depthShift, angleShift, overlayX, overlayY, Tunnel.frame,
               Tunnel.overlay);
    ShowMiddle(Tunnel.frame, screen);
}

// The flares, from the sprite and the particle data that start-up prepared.
SDL_Surface* FlareSprite = nullptr; // borrowed

void ReleaseFlares() {
    FlareSprite = nullptr;
}

bool PrepareFlares(const SurfaceSlotArray&, SDL_Surface* flareSprite) {
    ReleaseFlares();
    if (!flareSprite) return SetError("the flare sprite is missing");
    if (!GlowBuffer) return SetError("out of memory for the flares' glow");
    FlareSprite = flareSprite;
    return true;
}

void DrawFlaresFrame(SDL_Surface* screen) {
    if (FlareSprite) DrawFlares(FlareSprite, screen, FlareCount);
}

// The beach as waving, swelling tiles over a dimmed copy of itself.
struct {
    SDL_Surface* frame = nullptr;
    SDL_Surface* source = nullptr;
    SDL_Surface* shadow = nullptr;
} Wobble;

void ReleaseWobble() {
    SDL_FreeSurface(Wobble.frame);
    SDL_FreeSurface(Wobble.source);
    SDL_FreeSurface(Wobble.shadow);
    Wobble = {};
}

bool PrepareWobble(const SurfaceSlotArray& slots, SDL_Surface*) {
    ReleaseWobble();
    if (!HavePictures(slots)) return false;
    Wobble.frame = MakeEffectFrame();
    if (!Wobble.frame || !MakeWobblePictures(slots[SlotBackground], Wobble.source, Wobble.shadow)) {
        ReleaseWobble();
        return false;
    }
    return true;
}

void DrawWobbleFrame(SDL_Surface* screen) {
    if (!Wobble.frame) return;
    // The tiles leave gaps: the dimmed picture shows through them.
    SDL_UpperBlit(Wobble.shadow, nullptr, Wobble.frame, nullptr);
    // The swell grows and settles.
    const float amplitude = float(8 - 6 * std::cos(double(FrameTime) * TwoPi / 5000));
    DrawTileWobble(Wobble.source, Wobble.frame, amplitude);
    ShowMiddle(Wobble.frame, screen);
}

constexpr GalleryEffect Effects[] = {
    {"tunnel", PrepareTunnel, DrawTunnelFrame, ReleaseTunnel},
    {"flares", PrepareFlares, DrawFlaresFrame, ReleaseFlares},
    {"wobble", PrepareWobble, DrawWobbleFrame, ReleaseWobble},
};

} // namespace

const std::span<const GalleryEffect> GalleryEffects(Effects);

const GalleryEffect* FindGalleryEffect(const char* name) {
    if (!name) return nullptr;
    for (const GalleryEffect& effect : GalleryEffects)
        if (std::strcmp(name, effect.name) == 0) return &effect;
    return nullptr;
}

std::string GalleryEffectNames() {
    std::string names;
    for (size_t i = 0; i < GalleryEffects.size(); ++i) {
        if (i > 0) names += i + 1 < GalleryEffects.size() ? ", " : " or ";
        names += GalleryEffects[i].name;
    }
    return names;
}

int ParseGalleryCommandLine(int argc, char** argv, const char* about, const GalleryEffect** only) {
    std::string name;
    const auto addOptions = [&name](CLI::App& app) {
        app.add_flag_callback(
            "--list",
            [] {
                for (const GalleryEffect& effect : GalleryEffects)
                    std::printf("%s\n", effect.name);
                throw CLI::Success();
            },
            "Name the effects, one a line, and exit");
        app.add_option("--effect", name,
                       "Show this effect (" + GalleryEffectNames() +
                           ") instead of each in turn; in either, Space or the right arrow "
                           "shows the next")
            ->type_name("NAME")
            ->check([](const std::string& wanted) {
                return FindGalleryEffect(wanted.c_str())
                           ? std::string()
                           : "unknown effect \"" + wanted + "\": use " + GalleryEffectNames();
            });
    };
    const int status = ParseDisplayCommandLine(argc, argv, "ekudemo-gallery", about, addOptions,
                                               " [--list] [--effect NAME]");
    *only = FindGalleryEffect(name.c_str());
    return status;
}

bool PrepareGallery(const SurfaceSlotArray& slots, SDL_Surface* flareSprite) {
    for (const GalleryEffect& effect : GalleryEffects) {
        if (!effect.prepare(slots, flareSprite)) {
            FreeGallery();
            return false;
        }
    }
    return true;
}

void FreeGallery() {
    for (const GalleryEffect& effect : GalleryEffects)
        effect.release();
}

void DrawGalleryFrame(const GalleryEffect& effect, int32_t timeMs, SDL_Surface* screen) {
    FrameTime = timeMs;
    effect.draw(screen);
}

void ShowGalleryTitle(const GalleryEffect& effect) {
    const std::string title = std::string(ProgramName) + ": " + effect.name;
    SDL_WM_SetCaption(title.c_str(), ProgramName);
}

namespace {

// The gallery's frame loop from effect `shown`; a tour moves on to the next
// effect after GalleryEffectMs and ends after the last.
void ShowGallery(size_t shown, bool tour) {
    uint32_t start = uint32_t(MilliClock());
    ShowGalleryTitle(GalleryEffects[shown]);
    for (;;) {
        // Unsigned difference: the clock may wrap while the gallery runs.
        const uint32_t elapsed = uint32_t(MilliClock()) - start;
        bool step = false;
        if (tour && elapsed >= GalleryEffectMs) {
            if (shown + 1 == GalleryEffects.size()) return;
            step = true;
        } else {
            DrawGalleryFrame(GalleryEffects[shown], int32_t(elapsed), Screen);
            SDL_Flip(Screen);
            WaitForRefresh();
            if (PollQuit(&step) || FMUSIC_IsFinished(SongHandle)) return;
        }
        if (step) {
            shown = (shown + 1) % GalleryEffects.size();
            start = uint32_t(MilliClock());
            ShowGalleryTitle(GalleryEffects[shown]);
        }
    }
}

} // namespace

int RunGallery(const GalleryEffect* only) {
    SurfaceSlotArray slots;
    SDL_Surface* flareSprite = nullptr;
    if (int status = StartUp({.program = "ekudemo-gallery",
                              .music = MusicUse::Loaded,
                              .font = false,
                              .display = true,
                              .flares = true,
                              .seed = std::nullopt},
                             slots, flareSprite))
        return status;

    int status = 1;
    if (!PrepareGallery(slots, flareSprite)) {
        PrintError();
    } else {
        status = 0;
        PlayMusic();
        ShowGallery(only ? size_t(only - GalleryEffects.data()) : 0, !only);
    }

    FreeGallery();
    ShutDown(slots, flareSprite);
    return status;
}
