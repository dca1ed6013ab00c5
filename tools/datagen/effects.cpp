#include "tools/datagen/effects.h"

namespace datagen {

std::string ShadowmapEffect() {
    return R"FX(// Trevolia scene effect: the cubelets, lit by a directional light.
//
// Parameters, set by the program:
//   g_mProj          world (the arc ball's rotation) x view x projection
//   g_mWorldView     the cubelet's own world matrix: its turn rotation about
//                    the cube's centre (the meshes are modelled in place)
//   g_vLightDir      direction towards the light in model space, w = 0
//   g_vLightDiffuse  colour of the light
//   g_vLightAmbient  colour of the surrounding light
//   g_vMaterial      colour of the subset (rgb, alpha)
//   g_txScene        texture of the subset, white when it has none
//
// The light the program passes shines from in front of the view. A second,
// weaker light from the viewer's upper right keeps the top, the front and the
// side of the cube apart in brightness; its direction comes from g_mProj,
// whose columns hold the camera's axes in model space. The ambient term is
// kept low so that the colours stay saturated, and a small highlight brings
// out the rounded edges.

shared <<
uniform mat4 g_mProj;
uniform mat4 g_mWorldView;
uniform vec4 g_vLightDir;
uniform vec4 g_vLightDiffuse;
uniform vec4 g_vLightAmbient;
uniform vec4 g_vMaterial;
uniform sampler2D g_txScene;

vec3 SafeNormalize(vec3 v, vec3 fallback)
{
    float len = length(v);
    return len > 1e-6 ? v / len : fallback;
}
>>

vertex VS_Scene <<
in vec3 in_Position;
in vec3 in_Normal;
in vec2 in_TexCoord0;

out vec3 v_Normal;    // model space
out vec2 v_TexCoord;
out vec3 v_ToViewer;  // model space
out vec3 v_ToFill;    // towards the second light, model space

void main()
{
    vec4 position = vec4(in_Position, 1.0) * g_mWorldView;
    gl_Position = position * g_mProj;
    v_Normal = (vec4(in_Normal, 0.0) * g_mWorldView).xyz;
    v_TexCoord = in_TexCoord0;

    // Columns x and y of world x view x projection are the camera's right and
    // up axes (scaled by the projection), column w its viewing direction.
    vec3 right = SafeNormalize(g_mProj[0].xyz, vec3(1.0, 0.0, 0.0));
    vec3 up = SafeNormalize(g_mProj[1].xyz, vec3(0.0, 1.0, 0.0));
    vec3 toViewer = -SafeNormalize(g_mProj[3].xyz, vec3(0.0, 0.0, 1.0));
    v_ToViewer = toViewer;
    v_ToFill = 0.75 * up + 0.35 * right + 0.5 * toViewer;
}
>>

fragment PS_Scene <<
in vec3 v_Normal;
in vec2 v_TexCoord;
in vec3 v_ToViewer;
in vec3 v_ToFill;

out vec4 out_Color;

void main()
{
    vec3 n = SafeNormalize(v_Normal, vec3(0.0, 0.0, -1.0));
    vec3 toViewer = SafeNormalize(v_ToViewer, vec3(0.0, 0.0, -1.0));
    vec3 toLight = SafeNormalize(g_vLightDir.xyz, toViewer);
    vec3 toFill = SafeNormalize(v_ToFill, toViewer);

    float key = max(dot(n, toLight), 0.0);
    float fill = max(dot(n, toFill), 0.0);
    vec3 light = 0.4 * g_vLightAmbient.rgb + g_vLightDiffuse.rgb * (0.6 * key + 0.6 * fill);

    vec3 halfway = SafeNormalize(toLight + toViewer, n);
    float gloss = key > 0.0 ? 0.22 * pow(max(dot(n, halfway), 0.0), 48.0) : 0.0;

    vec4 texel = texture(g_txScene, v_TexCoord);
    vec3 colour = texel.rgb * g_vMaterial.rgb * light + g_vLightDiffuse.rgb * gloss;
    out_Color = vec4(colour, texel.a * g_vMaterial.a);
}
>>

technique RenderScene
{
    pass P0
    {
        vertex = VS_Scene;
        fragment = PS_Scene;
        ZEnable = TRUE;
        ZWriteEnable = TRUE;
        AlphaBlendEnable = FALSE;
        CullMode = CCW;
    }
}
)FX";
}

std::string VexaloidEffect() {
    return R"FX(// Trevolia model effect: the model in plain grey, shaded by a fixed light.
//
// Parameters, set by the program every frame:
//   g_mWorldViewProjection  world x view x projection
//   g_mWorld                the model's world matrix

shared <<
uniform mat4 g_mWorldViewProjection;
uniform mat4 g_mWorld;
>>

vertex VS_Model <<
in vec3 in_Position;
in vec3 in_Normal;

out float v_Shade;

void main()
{
    gl_Position = vec4(in_Position, 1.0) * g_mWorldViewProjection;
    vec3 n = (vec4(in_Normal, 0.0) * g_mWorld).xyz;
    float len = length(n);
    n = len > 1e-6 ? n / len : vec3(0.0, 1.0, 0.0);
    v_Shade = 0.3 + 0.7 * max(dot(n, normalize(vec3(0.3, 0.8, -0.5))), 0.0);
}
>>

fragment PS_Model <<
in float v_Shade;

out vec4 out_Color;

void main()
{
    out_Color = vec4(vec3(v_Shade), 1.0);
}
>>

technique RenderScene
{
    pass P0
    {
        vertex = VS_Model;
        fragment = PS_Model;
        ZEnable = TRUE;
        CullMode = CCW;
    }
}
)FX";
}

const std::vector<std::string>& ShadowmapParameters() {
    static const std::vector<std::string> names = {"g_mProj",         "g_mWorldView",    "g_vLightDir", "g_vLightDiffuse",
                                                   "g_vLightAmbient", "g_vMaterial",     "g_txScene"};
    return names;
}

const std::vector<std::string>& VexaloidParameters() {
    static const std::vector<std::string> names = {"g_mWorldViewProjection", "g_mWorld"};
    return names;
}

}  // namespace datagen
