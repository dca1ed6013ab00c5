// The helper library of the 3-D device: textures from images, sprites, fonts,
// effects and meshes. Each part has its own header; this one brings them all.
#pragma once

#include "platform/d3dx_buffer.h"
#include "platform/d3dx_effect.h"
#include "platform/d3dx_font.h"
#include "platform/d3dx_mesh.h"
#include "platform/d3dx_sprite.h"
#include "platform/d3dx_texture.h"
