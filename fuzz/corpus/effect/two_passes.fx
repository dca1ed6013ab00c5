// Scene effect: two passes
shared <<
uniform mat4 g_mWorldViewProjection;
>>

vertex VS_Scene <<
in vec3 in_Position;
void main() { gl_Position = vec4(in_Position, 1.0) * g_mWorldViewProjection; }
>>

fragment PS_Solid <<
out vec4 out_Color;
void main() { out_Color = vec4(1.0); }
>>
/* the outline pass
   draws the back faces */
fragment PS_Outline <<   // trailing comment is fine
out vec4 out_Color;
void main() { out_Color = vec4(0.0, 0.0, 0.0, 1.0); }
  >>

technique RenderScene
{
    pass P0
    {
        vertex = VS_Scene;
        fragment = PS_Solid;
        ZEnable = TRUE;
        CullMode = CCW;
    }
    pass P1 {
        vertex = VS_Scene; fragment = PS_Outline;
        AlphaBlendEnable = true; SrcBlend = SRCALPHA; DestBlend = InvSrcAlpha;
        ZWriteEnable = FALSE; FillMode = WIREFRAME; CullMode = CW;
    }
}

technique Plain { pass Only { vertex = VS_Scene; fragment = PS_Solid; } }
