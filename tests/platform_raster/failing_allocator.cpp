// The allocator that fails on demand, from the scene tests, built into this program too.
#include "scene/failing_allocator.cpp"
