#pragma once

#include <SDL.h>

#include <cstdint>

// 640x480 tables of depth and angle bytes; null until BuildTunnelTables runs.
extern uint8_t* TunnelDepth;
extern uint8_t* TunnelAngle;

void BuildTunnelTables();
void DrawTunnel(SDL_Surface* texture, uint32_t depthShift, uint32_t angleShift, int32_t overlayX,
                int32_t overlayY, SDL_Surface* target, SDL_Surface* overlay);
