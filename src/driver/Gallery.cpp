#include "driver/Gallery.h"

#include "effects/unscheduled/Flares.h"
#include "effects/unscheduled/TileWobble.h"
#include "effects/unscheduled/Tunnel.h"
#include "image/Surface.h"
#include "music/Music.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int FrameWidth = 640;
constexpr int FrameHeight = 480;
// The part of a 640x480 frame that the screen shows: its middle.
constexpr int WindowX = (FrameWidth - ScreenWidth) / 2;
constexpr int WindowY = (FrameHeight - ScreenHeight) / 2;
constexpr double TwoPi = 6.283185307179586;

SDL_Surface* GalleryFrame = nullptr;  // where the tunnel and the wobble draw
SDL_Surface* TunnelOverlay = nullptr; // the beach with a porthole onto the tunnel
SDL_Surface* WobbleSource = nullptr;  // the beach at twice its size
SDL_Surface* WobbleShadow = nullptr;  // the same, dimmed: seen through the tiles' gaps
SDL_Surface* TunnelTexture = nullptr; // borrowed: the twister's texture
SDL_Surface* FlareSprite = nullptr;   // borrowed

bool IsPicture(const SDL_Surface* s, int width, int height) {
    return s && s->format->BitsPerPixel == 32 && s->w == width && s->h == height;
}

SDL_Surface* MakeFrame() {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, FrameWidth, FrameHeight, 32, 0, 0, 0, 0);
    if (!s) std::fprintf(stderr, "ekudemo-gallery: cannot make a frame: %s\n", SDL_GetError());
    return s;
}

uint32_t Scale(uint32_t pixel, double factor) {
    auto channel = [&](int shift) {
        double v = double((pixel >> shift) & 0xFF) * factor;
        return uint32_t(std::clamp(v, 0.0, 255.0)) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

// The background at twice its size; the 80 rows below it mirror its bottom,
// like the beach reflected in wet sand.
void FillWobbleSource(SDL_Surface* background) {
    SDL_LockSurface(background);
    SDL_LockSurface(WobbleSource);
    SDL_LockSurface(WobbleShadow);
    for (int y = 0; y < FrameHeight; ++y) {
        const int from = y < 400 ? y / 2 : (799 - y) / 2;
        const uint32_t* src = PixelRow(background, from);
        uint32_t* dst = PixelRow(WobbleSource, y);
        uint32_t* shadow = PixelRow(WobbleShadow, y);
        const double shade = y < 400 ? 1.0 : 0.75;
        for (int x = 0; x < FrameWidth; ++x) {
            dst[x] = Scale(src[x / 2], shade);
            shadow[x] = Scale(dst[x], 0.3);
        }
    }
    SDL_UnlockSurface(WobbleShadow);
    SDL_UnlockSurface(WobbleSource);
    SDL_UnlockSurface(background);
}

// The background stretched over the frame with an oval hole (zero pixels)
// round the tunnel's centre, ringed by a lit metal rim. Every other pixel is
// kept non-zero so that only the hole lets the tunnel through.
void FillTunnelOverlay(SDL_Surface* background) {
    constexpr double RadiusX = 118, RadiusY = 84, Rim = 0.16;
    SDL_LockSurface(background);
    SDL_LockSurface(TunnelOverlay);
    for (int y = 0; y < FrameHeight; ++y) {
        const uint32_t* src = PixelRow(background, y * 200 / FrameHeight);
        uint32_t* dst = PixelRow(TunnelOverlay, y);
        for (int x = 0; x < FrameWidth; ++x) {
            const double dx = (x - 319.5) / RadiusX, dy = (y - 239.5) / RadiusY;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d < 1) {
                dst[x] = 0;
                continue;
            }
            uint32_t pixel;
            if (d < 1 + Rim) {
                // Light from the upper left: bright there, dark at the lower right.
                const double light = 0.5 - 0.5 * (dx + dy) / (d * std::sqrt(2.0));
                const double across = std::sin((d - 1) / Rim * TwoPi / 2);
                pixel = Scale(0xB8C0D0, 0.35 + 0.65 * light * (0.6 + 0.4 * across));
            } else {
                // A shadow falls from the rim onto the beach.
                pixel = Scale(src[x / 2], std::min(1.0, 0.45 + (d - 1 - Rim) * 1.5));
            }
            dst[x] = pixel ? pixel : 0x010101;
        }
    }
    SDL_UnlockSurface(TunnelOverlay);
    SDL_UnlockSurface(background);
}

// Copies the middle 320x200 of the working frame to the screen.
void ShowWindow(SDL_Surface* screen) {
    SDL_Rect window;
    window.x = WindowX;
    window.y = WindowY;
    window.w = ScreenWidth;
    window.h = ScreenHeight;
    SDL_UpperBlit(GalleryFrame, &window, screen, nullptr);
}

} // namespace

int FindGalleryEffect(const char* name) {
    if (!name) return -1;
    if (std::strcmp(name, "tunnel") == 0) return GalleryTunnel;
    if (std::strcmp(name, "flares") == 0) return GalleryFlares;
    if (std::strcmp(name, "wobble") == 0) return GalleryWobble;
    return -1;
}

bool PrepareGallery(const SurfaceSlotArray& slots, SDL_Surface* flareSprite) {
    FreeGallery();
    SDL_Surface* background = slots[0];
    if (!IsPicture(background, 320, 200) || !IsPicture(slots[7], 256, 256) || !flareSprite) {
        std::fprintf(stderr, "ekudemo-gallery: the pictures are missing\n");
        return false;
    }
    TunnelTexture = slots[7];
    FlareSprite = flareSprite;
    GalleryFrame = MakeFrame();
    TunnelOverlay = MakeFrame();
    WobbleSource = MakeFrame();
    WobbleShadow = MakeFrame();
    BuildTunnelTables();
    if (!GalleryFrame || !TunnelOverlay || !WobbleSource || !WobbleShadow || !TunnelDepth) {
        if (!TunnelDepth) std::fprintf(stderr, "ekudemo-gallery: out of memory\n");
        FreeGallery();
        return false;
    }
    FillTunnelOverlay(background);
    FillWobbleSource(background);
    return true;
}

void FreeGallery() {
    SDL_FreeSurface(GalleryFrame);
    SDL_FreeSurface(TunnelOverlay);
    SDL_FreeSurface(WobbleSource);
    SDL_FreeSurface(WobbleShadow);
    GalleryFrame = TunnelOverlay = WobbleSource = WobbleShadow = nullptr;
    TunnelTexture = FlareSprite = nullptr;
    std::free(TunnelDepth);
    std::free(TunnelAngle);
    TunnelDepth = TunnelAngle = nullptr;
}

void DrawGalleryFrame(int effect, int32_t timeMs, SDL_Surface* screen) {
    FrameTime = timeMs;
    const double t = timeMs;
    switch (effect) {
    case GalleryTunnel: {
        if (!GalleryFrame) return;
        // Flying in steadily while the tunnel twists to and fro; the porthole drifts.
        const uint32_t depthShift = uint32_t(timeMs / 5);
        const uint32_t angleShift =
            uint32_t(int32_t(48 * std::sin(t * TwoPi / 7000)) + timeMs / 40);
        const int32_t overlayX = int32_t(90 * std::sin(t * TwoPi / 6100));
        const int32_t overlayY = int32_t(40 * std::sin(t * TwoPi / 4300));
        DrawTunnel(TunnelTexture, depthShift, angleShift, overlayX, overlayY, GalleryFrame,
                   TunnelOverlay);
        ShowWindow(screen);
        break;
    }
    case GalleryFlares:
        if (FlareSprite) DrawFlares(FlareSprite, screen, FlareCount);
        break;
    case GalleryWobble: {
        if (!GalleryFrame) return;
        // The tiles leave gaps: the dimmed picture shows through them.
        SDL_UpperBlit(WobbleShadow, nullptr, GalleryFrame, nullptr);
        // The swell grows and settles.
        const float amplitude = float(8 - 6 * std::cos(t * TwoPi / 5000));
        DrawTileWobble(WobbleSource, GalleryFrame, amplitude);
        ShowWindow(screen);
        break;
    }
    default:
        break;
    }
}

int RunGallery(int, char**) {
    InitMusic("dat/rimpaaa.s3m");
    std::srand(unsigned(MilliClock()));
    if (!OpenScreen("ekudemo-gallery")) {
        StopMusic();
        SDL_Quit();
        return 1;
    }

    SurfaceSlotArray slots;
    LoadPictures(slots);
    SDL_Surface* flareSprite = LoadFlareSprite();
    PrepareGlow();
    FillFlarePoints();
    int status = 1;
    if (GlowBuffer && PrepareGallery(slots, flareSprite)) {
        status = 0;
        PlayMusic();
        const uint32_t start = uint32_t(MilliClock());
        for (;;) {
            // Unsigned difference: the clock may wrap while the gallery runs.
            const uint32_t elapsed = uint32_t(MilliClock()) - start;
            const uint32_t effect = elapsed / GalleryEffectMs;
            if (effect >= GalleryEffectCount) break;
            DrawGalleryFrame(int(effect), int32_t(elapsed % GalleryEffectMs), Screen);
            SDL_Flip(Screen);
            if (PollQuit() || FMUSIC_IsFinished(SongHandle)) break;
        }
    } else if (!GlowBuffer) {
        std::fprintf(stderr, "ekudemo-gallery: out of memory\n");
    }

    StopMusic();
    FreeGallery();
    FreePictures(slots);
    SDL_FreeSurface(flareSprite);
    FreeGlow();
    SDL_Quit();
    Screen = nullptr;
    return status;
}
