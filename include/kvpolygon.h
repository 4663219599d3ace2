/* kvPolygon: draws textured, transformed triangles and quadrilaterals in 3D and hands each
 * finished frame back to the host as pixels.
 *
 * Images cross the boundary as host image handles (see kvhost.h for the layout): 32-bit
 * pixels, blue, green, red and a fourth byte, bottom row first. Polygons are named by the
 * numbers makePolygon hands out. The first call that needs the scene creates it, with its
 * Direct3D 9 device on the window in the foreground at that moment. */
#ifndef KVPOLYGON_H
#define KVPOLYGON_H

#include <stdint.h>

/* Calling conventions: on 32-bit x86 some exports remove their own arguments (stdcall),
 * the others leave that to the caller (cdecl). Elsewhere there is only one convention. */
#if defined(__i386__) || defined(_M_IX86)
#if defined(_MSC_VER)
#define KVPOLYGON_CALLEE __stdcall
#define KVPOLYGON_CALLER __cdecl
#else
#define KVPOLYGON_CALLEE __attribute__((stdcall))
#define KVPOLYGON_CALLER __attribute__((cdecl))
#endif
#else
#define KVPOLYGON_CALLEE
#define KVPOLYGON_CALLER
#endif

/* On Windows the module-definition file (kvpolygon.def) exports the undecorated names;
 * elsewhere the exports are the only symbols the library makes visible. */
#if defined(KVPOLYGON_BUILDING) && !defined(_WIN32)
#define KVPOLYGON_API __attribute__((visibility("default")))
#else
#define KVPOLYGON_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Creates the scene if there is none. 1 when the scene exists afterwards, 0 when it could
 * not be made (a message box says why); the next call tries again. */
KVPOLYGON_API int KVPOLYGON_CALLER create(void);

/* Destroys the scene with its textures and polygons; does nothing without one. */
KVPOLYGON_API void KVPOLYGON_CALLER dispose(void);

/* Sets the back-buffer size used when the scene is created and at every device reset
 * (544 x 416 until called). Returns the width passed. Creates nothing. */
KVPOLYGON_API unsigned KVPOLYGON_CALLEE setWindowSize(unsigned width, unsigned height);

/* Makes a texture with a full mipmap chain from a host image of width x height pixels and
 * lists it under name (at most 258 characters). 1 on success, 0 otherwise. */
KVPOLYGON_API int KVPOLYGON_CALLEE loadTexture(const char *name, uint32_t image, int width, int height);

/* Removes every texture. 0 when the scene could not be made; otherwise no meaning. */
KVPOLYGON_API int KVPOLYGON_CALLER clearTextures(void);

/* Makes a triangle (quad == 0: points holds 6 floats, three x,y corners) or a quadrilateral
 * (8 floats, corners top-left, bottom-left, top-right, bottom-right) in the z = 0 plane.
 * Returns its number (from 1 upward), 0 on failure. */
KVPOLYGON_API uint32_t KVPOLYGON_CALLER makePolygon(int quad, const float *points);

/* Gives polygon number the texture listed under name (the oldest of that name) at stage 0
 * or 1, with one u,v pair per corner in coords. 1 when polygon and texture were found. */
KVPOLYGON_API int KVPOLYGON_CALLER setupTextures(uint32_t number, const char *name, unsigned stage,
                                                 const float *coords);

/* Replace one of a polygon's transforms: translation (x, y, z), scaling (x, y, z) or a
 * rotation about X, Y or Z (one angle in radians). flag is kept but has no effect.
 * 0 when the scene could not be made; otherwise no meaning. */
KVPOLYGON_API int KVPOLYGON_CALLEE setupTranslate(uint32_t number, const float *xyz, int flag);
KVPOLYGON_API int KVPOLYGON_CALLEE setupScale(uint32_t number, const float *xyz, int flag);
KVPOLYGON_API int KVPOLYGON_CALLEE setupRotX(uint32_t number, const float *angle, int flag);
KVPOLYGON_API int KVPOLYGON_CALLEE setupRotY(uint32_t number, const float *angle, int flag);
KVPOLYGON_API int KVPOLYGON_CALLEE setupRotZ(uint32_t number, const float *angle, int flag);

/* Stops drawing a polygon; it is removed at the next frame. Its number is not reused. */
KVPOLYGON_API int KVPOLYGON_CALLEE disposePolygon(uint32_t number);

/* Removes every polygon; numbering starts again at 1. */
KVPOLYGON_API int KVPOLYGON_CALLER clearPolygons(void);

/* Draws one frame into the host image (width x height pixels, normally the back-buffer
 * size). 0 (S_OK) when drawn and copied; 0x80004005 (E_FAIL) or 0x8007000E (E_OUTOFMEMORY). */
KVPOLYGON_API int32_t KVPOLYGON_CALLEE drawPaint(uint32_t image, int width, int height);

#ifdef __cplusplus
}
#endif

#endif
