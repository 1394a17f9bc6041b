#include <cstdio>
int main() { std::puts("kx7cli"); return 0; }
