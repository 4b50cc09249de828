// Frame loop through a GL canvas (SetCurrent, clear, a triangle, SwapBuffers) against
// two plain EGL loops on pbuffers of the same size and format, interleaved in the
// same run:
//  - "same calls": per frame exactly the EGL calls the canvas makes, counted here
//    by interposing every EGL entry point the stand-in imports, and checked to match;
//  - "minimal": bound once, then draw and flush per frame, no EGL call at all.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "vq/frame.h"
#include "vq/glcanvas.h"

#include "../bench_stats.h"

namespace {

using vqbench::Median;
using vqbench::Min;

const int kSize = 64;
const int kFrames = 2000;
const int kRounds = 31;
const int kCountedFrames = 100;

// Every EGL call made through the interposed entry points, by name, while counting.
bool g_counting = false;
std::vector<const char*> g_calls;

void Counted(const char* name) {
    if (g_counting) g_calls.push_back(name);
}

template <class Fn>
Fn Real(const char* name) {
    void* fn = dlsym(RTLD_NEXT, name);
    if (!fn) {
        std::fprintf(stderr, "bench_gl: no %s to forward to\n", name);
        std::abort();
    }
    return reinterpret_cast<Fn>(fn);
}

}  // namespace

// NOTE: these definitions interpose libEGL's for the whole process (the stand-in
// included); each notes the call and forwards it to the next definition, libEGL's.
#define VQ_BENCH_COUNTED(ret, name, params, args)            \
    extern "C" ret name params {                             \
        static const auto real = Real<ret(*) params>(#name); \
        Counted(#name);                                      \
        return real args;                                    \
    }

VQ_BENCH_COUNTED(EGLBoolean, eglBindAPI, (EGLenum api), (api))
VQ_BENCH_COUNTED(EGLBoolean, eglChooseConfig,
                 (EGLDisplay d, const EGLint* attribs, EGLConfig* configs, EGLint size,
                  EGLint* count),
                 (d, attribs, configs, size, count))
VQ_BENCH_COUNTED(EGLContext, eglCreateContext,
                 (EGLDisplay d, EGLConfig c, EGLContext share, const EGLint* attribs),
                 (d, c, share, attribs))
VQ_BENCH_COUNTED(EGLSurface, eglCreatePbufferSurface,
                 (EGLDisplay d, EGLConfig c, const EGLint* attribs), (d, c, attribs))
VQ_BENCH_COUNTED(EGLBoolean, eglDestroyContext, (EGLDisplay d, EGLContext c), (d, c))
VQ_BENCH_COUNTED(EGLBoolean, eglDestroySurface, (EGLDisplay d, EGLSurface s), (d, s))
VQ_BENCH_COUNTED(EGLBoolean, eglGetConfigAttrib,
                 (EGLDisplay d, EGLConfig c, EGLint attribute, EGLint* value),
                 (d, c, attribute, value))
VQ_BENCH_COUNTED(EGLDisplay, eglGetDisplay, (EGLNativeDisplayType id), (id))
VQ_BENCH_COUNTED(__eglMustCastToProperFunctionPointerType, eglGetProcAddress,
                 (const char* procname), (procname))
VQ_BENCH_COUNTED(EGLBoolean, eglInitialize, (EGLDisplay d, EGLint* major, EGLint* minor),
                 (d, major, minor))
VQ_BENCH_COUNTED(EGLBoolean, eglMakeCurrent,
                 (EGLDisplay d, EGLSurface draw, EGLSurface read, EGLContext c), (d, draw, read, c))
VQ_BENCH_COUNTED(const char*, eglQueryString, (EGLDisplay d, EGLint name), (d, name))
VQ_BENCH_COUNTED(EGLBoolean, eglReleaseThread, (), ())
VQ_BENCH_COUNTED(EGLBoolean, eglTerminate, (EGLDisplay d), (d))
VQ_BENCH_COUNTED(EGLBoolean, eglSwapBuffers, (EGLDisplay d, EGLSurface s), (d, s))
VQ_BENCH_COUNTED(EGLint, eglGetError, (), ())
VQ_BENCH_COUNTED(EGLContext, eglGetCurrentContext, (), ())
VQ_BENCH_COUNTED(EGLSurface, eglGetCurrentSurface, (EGLint which), (which))
VQ_BENCH_COUNTED(EGLBoolean, eglQuerySurface,
                 (EGLDisplay d, EGLSurface s, EGLint attribute, EGLint* value),
                 (d, s, attribute, value))
VQ_BENCH_COUNTED(EGLBoolean, eglWaitClient, (), ())
VQ_BENCH_COUNTED(EGLBoolean, eglWaitGL, (), ())

namespace {

void Draw() {
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    glColor3f(1, 0, 0);
    glVertex2f(-0.8f, -0.8f);
    glColor3f(0, 1, 0);
    glVertex2f(0.8f, -0.8f);
    glColor3f(0, 0, 1);
    glVertex2f(0.0f, 0.8f);
    glEnd();
}

// CPU time of the calling thread, which does all the rendering (LP_NUM_THREADS=0 below):
// unlike wall time it does not count the other processes of a busy machine.
double ThreadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Runs frames of one loop after the canvas's context is released, so that each loop
// starts unbound and binds for itself; returns the CPU seconds taken.
template <class Loop>
double Seconds(Loop& loop, int frames) {
    wglMakeCurrent(nullptr, nullptr);
    double start = ThreadSeconds();
    loop.Begin();
    for (int i = 0; i < frames; ++i) loop.Frame();
    glFinish();
    return ThreadSeconds() - start;
}

// The EGL calls one frame of a loop makes in its steady state, in order.
template <class Loop>
std::vector<std::string> CallsPerFrame(Loop& loop) {
    Seconds(loop, 10);
    g_calls.clear();
    g_counting = true;
    for (int i = 0; i < kCountedFrames; ++i) loop.Frame();
    g_counting = false;
    glFinish();
    std::vector<std::string> frame;
    if (g_calls.size() % kCountedFrames != 0)
        return {"(uneven: " + std::to_string(g_calls.size()) + " calls in " +
                std::to_string(kCountedFrames) + " frames)"};
    for (size_t i = 0; i < g_calls.size() / kCountedFrames; ++i) frame.push_back(g_calls[i]);
    return frame;
}

struct CanvasLoop {
    vqGLCanvas* canvas;
    void Begin() {}
    void Frame() {
        canvas->SetCurrent();
        Draw();
        canvas->SwapBuffers();
    }
};

// A pbuffer pair of the format the canvas gets (8-8-8, no alpha, depth 16) and a context.
struct PlainEgl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLSurface surfaces[2] = {EGL_NO_SURFACE, EGL_NO_SURFACE};
    EGLContext context = EGL_NO_CONTEXT;

    bool Open() {
        auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!getPlatformDisplay) return false;
        display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return false;
        eglBindAPI(EGL_OPENGL_API);
        const EGLint attribs[] = {EGL_SURFACE_TYPE,
                                  EGL_PBUFFER_BIT,
                                  EGL_RENDERABLE_TYPE,
                                  EGL_OPENGL_BIT,
                                  EGL_RED_SIZE,
                                  8,
                                  EGL_GREEN_SIZE,
                                  8,
                                  EGL_BLUE_SIZE,
                                  8,
                                  EGL_ALPHA_SIZE,
                                  0,
                                  EGL_DEPTH_SIZE,
                                  16,
                                  EGL_NONE};
        EGLConfig configs[64];
        EGLint count = 0;
        eglChooseConfig(display, attribs, configs, 64, &count);
        EGLConfig config = nullptr;
        for (EGLint i = 0; i < count && !config; ++i) {
            EGLint r, a, d;
            eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &r);
            eglGetConfigAttrib(display, configs[i], EGL_ALPHA_SIZE, &a);
            eglGetConfigAttrib(display, configs[i], EGL_DEPTH_SIZE, &d);
            if (r == 8 && a == 0 && d == 16) config = configs[i];
        }
        if (!config) return false;
        const EGLint size[] = {EGL_WIDTH, kSize, EGL_HEIGHT, kSize, EGL_NONE};
        for (EGLSurface& s : surfaces) s = eglCreatePbufferSurface(display, config, size);
        context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
        return surfaces[0] != EGL_NO_SURFACE && surfaces[1] != EGL_NO_SURFACE &&
               context != EGL_NO_CONTEXT;
    }
    void Close() {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
        for (EGLSurface s : surfaces)
            if (s != EGL_NO_SURFACE) eglDestroySurface(display, s);
    }
};

// What the canvas does per frame with plain EGL: draw into the back pbuffer, submit
// it, then bind the other one as the new back buffer.
struct SameCallsLoop {
    PlainEgl* egl;
    int back = 0;
    void Begin() {
        eglMakeCurrent(egl->display, egl->surfaces[back], egl->surfaces[back], egl->context);
    }
    void Frame() {
        Draw();
        glFlush();
        back ^= 1;
        eglMakeCurrent(egl->display, egl->surfaces[back], egl->surfaces[back], egl->context);
    }
};

// The least a frame can be: bound once, then draw and submit.
struct MinimalLoop {
    PlainEgl* egl;
    void Begin() { eglMakeCurrent(egl->display, egl->surfaces[0], egl->surfaces[0], egl->context); }
    void Frame() {
        Draw();
        glFlush();
    }
};

std::string Join(const std::vector<std::string>& calls) {
    if (calls.empty()) return "none";
    std::string text;
    for (const std::string& call : calls) text += (text.empty() ? "" : ", ") + call;
    return text;
}

}  // namespace

int main() {
    // NOTE: llvmpipe renders on worker threads by default; on a loaded two-core machine
    // their scheduling dominates, so every loop renders on the calling thread here.
    setenv("LP_NUM_THREADS", "0", 0);
    if (!vqPlatformHasGL()) {
        std::printf("bench_gl: skipped, no OpenGL rendering: %s\n", vqPlatformGLStatus());
        return 0;
    }
    vqFrame frame(nullptr, vqID_ANY, vqT("bench"));
    vqGLCanvas canvas(&frame, vqID_ANY, vqDefaultPosition, vqSize(kSize, kSize));
    PlainEgl plain;
    if (!canvas.GetContext() || !canvas.GetContext()->GetGLRC() || !plain.Open()) {
        std::printf("bench_gl: could not set up the canvas and the plain EGL loops\n");
        return 1;
    }
    CanvasLoop canvasLoop{&canvas};
    SameCallsLoop sameLoop{&plain};
    MinimalLoop minimalLoop{&plain};

    // The baseline must make exactly the canvas's EGL calls per frame.
    std::vector<std::string> canvasCalls = CallsPerFrame(canvasLoop);
    std::vector<std::string> sameCalls = CallsPerFrame(sameLoop);
    std::vector<std::string> minimalCalls = CallsPerFrame(minimalLoop);
    std::printf(
        "bench_gl: EGL calls per frame: canvas %zu (%s), same-calls loop %zu (%s), "
        "minimal loop %zu\n",
        canvasCalls.size(), Join(canvasCalls).c_str(), sameCalls.size(), Join(sameCalls).c_str(),
        minimalCalls.size());
    if (canvasCalls != sameCalls) {
        std::printf("bench_gl: the same-calls loop does not match the canvas's EGL calls\n");
        return 1;
    }

    // Rounds rotate the order of the three loops; each ratio pairs loops of one round.
    std::vector<double> toSame, toMinimal;
    double bestCanvas = 1e9, bestSame = 1e9, bestMinimal = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        double c = 0, s = 0, m = 0;
        for (int slot = 0; slot < 3; ++slot) {
            switch ((round + slot) % 3) {
                case 0:
                    c = Seconds(canvasLoop, kFrames);
                    break;
                case 1:
                    s = Seconds(sameLoop, kFrames);
                    break;
                default:
                    m = Seconds(minimalLoop, kFrames);
                    break;
            }
        }
        bestCanvas = std::min(bestCanvas, c);
        bestSame = std::min(bestSame, s);
        bestMinimal = std::min(bestMinimal, m);
        toSame.push_back(c / s);
        toMinimal.push_back(c / m);
    }
    wglMakeCurrent(nullptr, nullptr);
    plain.Close();

    std::printf(
        "bench_gl: %dx%d frames (clear, one triangle, present), %d rounds of %d frames "
        "per loop, interleaved\n",
        kSize, kSize, kRounds, kFrames);
    std::printf("  canvas           %9.0f frames/s of CPU (best round)\n", kFrames / bestCanvas);
    std::printf("  same-calls loop  %9.0f frames/s\n", kFrames / bestSame);
    std::printf("  minimal loop     %9.0f frames/s\n", kFrames / bestMinimal);
    std::printf("  canvas / same-calls loop: %.3fx min, %.3fx median (target within 1.10x)\n",
                Min(toSame), Median(toSame));
    std::printf("  canvas / minimal loop:    %.3fx min, %.3fx median\n", Min(toMinimal),
                Median(toMinimal));
    return 0;
}
