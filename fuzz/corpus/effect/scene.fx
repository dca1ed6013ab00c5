// Scene effect with a texture, lighting and blending.
shared <<
uniform mat4 g_mWorldViewProjection;
uniform mat4 g_mWorld;
uniform vec4 g_vLightDir;
>>
vertex VS <<
in vec3 in_Position;
in vec3 in_Normal;
in vec2 in_TexCoord0;
out vec3 v_Normal;
out vec2 v_TexCoord;
void main()
{
    gl_Position = vec4(in_Position, 1.0) * g_mWorldViewProjection;
    v_Normal = (vec4(in_Normal, 0.0) * g_mWorld).xyz;
    v_TexCoord = in_TexCoord0;
}
>>
fragment PS <<
uniform sampler2D g_MeshTexture;
in vec3 v_Normal;
in vec2 v_TexCoord;
out vec4 out_Color;
void main() { out_Color = texture(g_MeshTexture, v_TexCoord) * max(dot(normalize(v_Normal), -g_vLightDir.xyz), 0.0); }
>>
technique RenderScene
{
    pass P0 { vertex = VS; fragment = PS; ZEnable = TRUE; ZWriteEnable = TRUE; CullMode = CCW; FillMode = SOLID; }
    pass P1 { vertex = VS; fragment = PS; AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ZERO; CullMode = NONE; }
}
