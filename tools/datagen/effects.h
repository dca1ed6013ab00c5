// The two effect files of the program, in our effect format (GLSL 3.30 code
// blocks with technique and pass declarations; see platform/effect_format.md).
#pragma once

#include <string>
#include <vector>

namespace datagen {

// "shadowmap.fx": draws the cubelets. Parameters: g_mProj (world × view ×
// projection of the model), g_mWorldView (the cubelet's own world matrix, a
// rotation about the model's centre), g_vLightDir (direction towards the
// light in model space, w = 0), g_vLightDiffuse, g_vLightAmbient, g_vMaterial
// (the subset's colour) and g_txScene (the subset's texture).
std::string ShadowmapEffect();
// "Vexaloid.fx": g_mWorldViewProjection and g_mWorld.
std::string VexaloidEffect();

// The parameters each effect must declare (and use, so that the compiler
// keeps them).
const std::vector<std::string>& ShadowmapParameters();
const std::vector<std::string>& VexaloidParameters();

}  // namespace datagen
