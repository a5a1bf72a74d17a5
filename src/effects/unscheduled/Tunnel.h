// The tunnel: a table-driven texture effect on the fixed 640x480 frame.
// BuildTunnelTables computes, once, a depth byte (falling with the distance
// from the frame's centre) and an angle byte (the direction from the centre)
// for every pixel; DrawTunnel adds a shift to each and uses the shifted angle
// as the row and the shifted depth as the column of a 256x256 texture, so that
// the depth shift moves the texture along the radius and the angle shift turns
// it about the centre. A 640x480 window of an overlay picture lies on top:
// where the overlay's pixel is zero the tunnel shows through.
#pragma once

#include <SDL.h>

#include <cstdint>

// 640x480 tables of depth and angle bytes; null until BuildTunnelTables runs.
extern uint8_t* TunnelDepth;
extern uint8_t* TunnelAngle;

// Allocates and fills both tables, releasing any earlier ones; leaves both
// null when memory runs out.
void BuildTunnelTables();
// Releases both tables; nothing happens while they are null.
void FreeTunnelTables();
void DrawTunnel(SDL_Surface* texture, uint32_t depthShift, uint32_t angleShift, int32_t overlayX,
                int32_t overlayY, SDL_Surface* target, SDL_Surface* overlay);

// An overlay for the gallery's tunnel: `picture` (320x200, 32 bits) stretched
// over the 640x480 frame with an oval porthole of zero pixels round the centre,
// ringed by a lit metal rim; every other pixel is non-zero, so only the hole
// lets the tunnel through. Null after SetError when no surface can be made.
SDL_Surface* MakeTunnelOverlay(SDL_Surface* picture);
