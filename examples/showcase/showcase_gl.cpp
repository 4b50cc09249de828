// The GL canvas part: renders a lit, depth-tested scene through a canvas, coloured
// with SetColour, and saves the presented frame as a PNG.
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "showcase.h"
#include "vq/frame.h"
#include "vq/glcanvas.h"
#include "vq/pnghandler.h"

namespace {

const int kWidth = 480, kHeight = 360;

// A cube of half-size s, one colour name per face pair, with face normals for lighting.
void Cube(vqGLCanvas& canvas, float s) {
    static const float normals[6][3] = {{0, 0, 1},  {0, 0, -1}, {1, 0, 0},
                                        {-1, 0, 0}, {0, 1, 0},  {0, -1, 0}};
    static const vqChar* colours[3] = {vqT("ORANGE RED"), vqT("GOLD"), vqT("MEDIUM SEA GREEN")};
    for (int f = 0; f < 6; ++f) {
        const float* n = normals[f];
        // Two axes spanning the face.
        float u[3] = {n[1] != 0 ? 1.0f : 0.0f, n[1] == 0 ? 1.0f : 0.0f, 0};
        if (n[0] != 0) u[0] = 0, u[1] = 0, u[2] = 1;
        float v[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2],
                      n[0] * u[1] - n[1] * u[0]};
        canvas.SetColour(colours[f / 2]);
        glBegin(GL_QUADS);
        glNormal3fv(n);
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& c : corners)
            glVertex3f(s * (n[0] + c[0] * u[0] + c[1] * v[0]),
                       s * (n[1] + c[0] * u[1] + c[1] * v[1]),
                       s * (n[2] + c[0] * u[2] + c[1] * v[2]));
        glEnd();
    }
}

// A smooth-shaded sphere by latitude bands.
void Sphere(float r, int slices, int stacks) {
    const float pi = 3.14159265f;
    for (int i = 0; i < stacks; ++i) {
        float a0 = pi * (-0.5f + float(i) / stacks), a1 = pi * (-0.5f + float(i + 1) / stacks);
        glBegin(GL_QUAD_STRIP);
        for (int j = 0; j <= slices; ++j) {
            float b = 2 * pi * float(j) / slices;
            for (float a : {a1, a0}) {
                float x = std::cos(a) * std::cos(b), y = std::sin(a), z = std::cos(a) * std::sin(b);
                glNormal3f(x, y, z);
                glVertex3f(r * x, r * y, r * z);
            }
        }
        glEnd();
    }
}

bool RunGL(const std::string& outDir) {
    if (!vqPlatformHasGL()) {
        showcase::Say("   skipped: no OpenGL rendering (%s)", vqPlatformGLStatus());
        return true;
    }
    vqFrame frame(nullptr, vqID_ANY, vqT("GL showcase"), vqDefaultPosition,
                  vqSize(kWidth, kHeight));
    int attribs[] = {VQ_GL_ATTR_RGBA, VQ_GL_ATTR_DOUBLE_BUFFER, VQ_GL_ATTR_DEPTH_BITS, 24, 0};
    vqGLCanvas canvas(&frame, vqID_ANY, vqPoint(0, 0), vqSize(kWidth, kHeight), 0, vqT("GLCanvas"),
                      attribs);
    if (!canvas.GetContext() || !canvas.GetContext()->GetGLRC()) {
        showcase::Say("   no rendering context for the canvas");
        return false;
    }
    canvas.SetCurrent();
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(0.12f, 0.14f, 0.2f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    glShadeModel(GL_SMOOTH);
    const float light[4] = {-2, 3, 4, 0}, ambient[4] = {0.25f, 0.25f, 0.25f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.8, 0.8, -0.6, 0.6, 1.5, 20);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -5);
    glRotatef(25, 1, 0, 0);
    glRotatef(-35, 0, 1, 0);
    Cube(canvas, 0.9f);
    // The sphere cuts through the cube: the depth test shows where they meet.
    glTranslatef(0.7f, 0.45f, 0.35f);
    canvas.SetColour(vqT("SKY BLUE"));
    Sphere(0.8f, 48, 32);
    canvas.SwapBuffers();

    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    if (!vqPlatformReadPresentedPixels(static_cast<HWND>(canvas.GetHWND()), &w, &h, &rgba)) {
        showcase::Say("   could not read the presented frame");
        return false;
    }
    wglMakeCurrent(nullptr, nullptr);
    vqBitmap bitmap(w, h, 24);
    unsigned char* data = bitmap.GetWritableData();
    for (size_t i = 0; i < rgba.size(); i += 4) {
        data[i] = rgba[i], data[i + 1] = rgba[i + 1], data[i + 2] = rgba[i + 2];
        data[i + 3] = 255;
    }
    vqImage::AddHandler(new vqPNGHandler);
    std::string path = outDir + "/gl_canvas.png";
    if (!bitmap.SaveFile(vqString::FromUTF8(path), vqBITMAP_TYPE_PNG)) return false;
    showcase::Say("   %s: a %dx%d frame rendered through vqGLCanvas (%s)", path.c_str(), w, h,
                  vqPlatformGLStatus());
    char caption[160];
    snprintf(caption, sizeof caption,
             "the %d x %d frame a vqGLCanvas presented after SwapBuffers: a lit cube and sphere "
             "meeting under the depth test, coloured with SetColour",
             w, h);
    showcase::Show("gl_canvas.png", showcase::View::kPicture, caption);
    return true;
}

showcase::Registrar reg(30, "gl", "OpenGL canvas (renderpane)", RunGL);

}  // namespace
