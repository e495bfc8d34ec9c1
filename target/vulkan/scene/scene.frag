#version 450
layout(push_constant) uniform Draw
{
    vec4 offsetScale;
    vec4 color;
    vec4 instanceStep;
} draw;
layout(location = 0) out vec4 outColor;

void main()
{
    outColor = draw.color;
}
