#version 450
// Positions in clip space, moved and scaled per draw; instances step to the right.
layout(location = 0) in vec2 inPosition;
layout(push_constant) uniform Draw
{
    vec4 offsetScale; // xy offset, zw scale
    vec4 color;
    vec4 instanceStep; // xy added per instance
} draw;

void main()
{
    vec2 position = inPosition * draw.offsetScale.zw + draw.offsetScale.xy + draw.instanceStep.xy * float(gl_InstanceIndex);
    gl_Position = vec4(position, 0.0, 1.0);
}
