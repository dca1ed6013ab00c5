technique T { pass P { vertex = V; fragment = F; } }
vertex V <<
void main() {}
>>
fragment F <<
void main() {}
>>