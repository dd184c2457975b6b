// A marked screenshot of a 1920x1080 screen, as inspect_screen takes it:
// capture, shrink to 1280 wide, 80 numbered badges, PNG (and the debug
// copy). Beside it, in the same run, ImageMagick doing the same three steps
// (import, then convert: resize, 80 badges, PNG). Then resident memory over
// many captures. Needs an X display: run it inside tests/harness/desktop.sh.
//   capture_bench [--rounds N] [--soak N]

#include "capture/image_scaling.h"
#include "capture/marks_overlay.h"
#include "capture/png_encoding.h"
#include "capture/screen_capture.h"
#include "common/log.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/x11_screen.h"

#include "integration/process_helpers.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <numeric>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using namespace twk;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stats {
    std::vector<double> ms;
    double median() { return at(0.5); }
    double p95() { return at(0.95); }
    double at(double q)
    {
        std::sort(ms.begin(), ms.end());
        return ms.empty() ? 0 : ms[std::min(ms.size() - 1, static_cast<size_t>(q * static_cast<double>(ms.size())))];
    }
};

/// Something like a working desktop, so that the PNG encoder has real work:
/// windows with title bars, text of several sizes, a photo-like gradient.
void paintDesktopOnRoot()
{
    const int width = 1920, height = 1080;
    CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    const CairoContext context(cairo_create(surface.get()));
    cairo_t* cr = context.get();
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, width, height);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.1, 0.3, 0.6);
    cairo_pattern_add_color_stop_rgb(sky, 1, 0.8, 0.5, 0.3);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);
    const double windows[][4] = {{40, 40, 900, 700}, {700, 200, 1100, 800}, {1300, 60, 560, 400}};
    int line = 0;
    for (const auto& w : windows) {
        cairo_set_source_rgb(cr, 0.97, 0.97, 0.96);
        cairo_rectangle(cr, w[0], w[1], w[2], w[3]);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.25, 0.27, 0.3);
        cairo_rectangle(cr, w[0], w[1], w[2], 28);
        cairo_fill(cr);
        for (double y = w[1] + 50; y < w[1] + w[3] - 10; y += 18) {
            const double shade = (line % 7) * 0.05;
            cairo_set_source_rgb(cr, shade, shade, 0.2 + shade);
            cairo_select_font_face(cr, line % 5 == 0 ? "serif" : "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                                   line % 9 == 0 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(cr, 11 + line % 4);
            cairo_move_to(cr, w[0] + 12, y);
            const std::string text = "Line " + std::to_string(++line) +
                                     ": the quick brown fox jumps over the lazy dog, 0123456789 — settings, files";
            cairo_show_text(cr, text.c_str());
        }
    }
    cairo_surface_flush(surface.get());

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    XImage* image = XCreateImage(display, DefaultVisual(display, 0), 24, ZPixmap, 0,
                                 reinterpret_cast<char*>(cairo_image_surface_get_data(surface.get())), width, height,
                                 32, cairo_image_surface_get_stride(surface.get()));
    const Window root = DefaultRootWindow(display);
    const Pixmap pixmap = XCreatePixmap(display, root, width, height, 24);
    XPutImage(display, pixmap, DefaultGC(display, 0), image, 0, 0, 0, 0, width, height);
    XSetWindowBackgroundPixmap(display, root, pixmap);
    XClearWindow(display, root);
    XSync(display, False);
    image->data = nullptr; // the surface owns the pixels
    XDestroyImage(image);
    XFreePixmap(display, pixmap);
    XCloseDisplay(display);
}

/// 80 marks spread over the screen like a busy window's controls.
std::vector<MarkedElement> eightyMarks()
{
    std::vector<MarkedElement> marks;
    for (int i = 0; i < 80; ++i) {
        MarkedElement mark;
        mark.id = i + 1;
        mark.x = 60 + (i % 10) * 180;
        mark.y = 80 + (i / 10) * 120;
        mark.width = 24 + (i % 4) * 40;
        mark.height = 22 + (i % 3) * 6;
        marks.push_back(mark);
    }
    return marks;
}

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

/// The same three steps through ImageMagick; nothing when it is missing.
std::optional<double> imageMagickRound(const fs::path& dir, const std::vector<MarkedElement>& marks)
{
    const std::string importExe = "/usr/bin/import-im6.q16", convertExe = "/usr/bin/convert-im6.q16";
    if (!fs::exists(importExe) || !fs::exists(convertExe)) return std::nullopt;
    const std::string raw = (dir / "im-raw.png").string(), out = (dir / "im-out.png").string();
    const auto start = Clock::now();
    test::ChildProcess grab(importExe, {"-window", "root", raw});
    if (grab.waitForExit(std::chrono::seconds(30)) != 0) return std::nullopt;
    std::vector<std::string> args{raw, "-resize", "1280x720", "-strokewidth", "1.5", "-font", "DejaVu-Sans-Bold"};
    const double scale = 1280.0 / 1920;
    for (const auto& mark : marks) {
        const BadgePlacement b = badgePlacement(mark, {0, 0}, {scale, scale});
        char circle[96], text[96];
        std::snprintf(circle, sizeof circle, "circle %.1f,%.1f %.1f,%.1f", b.cx, b.cy, b.cx + b.radius, b.cy);
        std::snprintf(text, sizeof text, "text %.0f,%.0f '%d'", b.cx - b.radius * 0.5, b.cy + b.radius * 0.4, mark.id);
        args.insert(args.end(), {"-fill", "#ffd600f2", "-stroke", "black", "-draw", circle, "-stroke", "none",
                                 "-fill", "black", "-pointsize", std::to_string(b.radius * 1.1), "-draw", text});
    }
    args.push_back(out);
    test::ChildProcess draw(convertExe, args);
    if (draw.waitForExit(std::chrono::seconds(60)) != 0) {
        std::fprintf(stderr, "convert failed: %s\n", draw.output().c_str());
        return std::nullopt;
    }
    return msSince(start);
}

int intOption(int argc, char** argv, const char* name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
    return fallback;
}

} // namespace

int main(int argc, char** argv)
{
    // The capture's own log lines would drown the figures.
    const LogCapture quiet([](const std::string&) {});
    const int rounds = intOption(argc, argv, "--rounds", 100);
    const int soak = intOption(argc, argv, "--soak", 1000);
    const fs::path dir = fs::temp_directory_path() / ("twk-capture-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    paintDesktopOnRoot();

    X11Screen screen;
    LinuxWorkspace workspace;
    CaptureGeometry geometry;
    ScreenCapture capture({screen, workspace, geometry, dir / "screenshots"});
    const auto marks = eightyMarks();
    const ScreenRect full{0, 0, 1920, 1080};
    if (!capture.captureWithMarks(marks)) {
        std::fprintf(stderr, "capture_bench: no screenshot (no X display?)\n");
        return 1;
    }

    // Each stage alone, then the whole marked capture as the tool takes it.
    Stats grab, shrink, badges, png, whole, wholeCpu;
    size_t pngBytes = 0;
    for (int i = 0; i < rounds; ++i) {
        auto t = Clock::now();
        auto raw = screen.capture(full);
        grab.ms.push_back(msSince(t));
        CairoSurface surface = surfaceOver(*raw);
        t = Clock::now();
        CairoSurface small = downscaled(surface.get(), maxImageLongEdge);
        shrink.ms.push_back(msSince(t));
        t = Clock::now();
        drawMarksOverlay(small.get(), marks, {0, 0}, {1280.0 / 1920, 720.0 / 1080});
        badges.ms.push_back(msSince(t));
        t = Clock::now();
        pngBytes = encodePNG(small.get())->size();
        png.ms.push_back(msSince(t));
        t = Clock::now();
        const std::clock_t cpu = std::clock();
        capture.captureWithMarks(marks);
        wholeCpu.ms.push_back(1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
        whole.ms.push_back(msSince(t));
    }
    std::printf("screen 1920x1080 -> 1280x720, 80 badges, PNG %zu bytes, %s\n", pngBytes,
                screen.lastCaptureShared() ? "shared-memory capture" : "plain capture");
    std::printf("  capture   median %6.2f ms  p95 %6.2f ms\n", grab.median(), grab.p95());
    std::printf("  downscale median %6.2f ms  p95 %6.2f ms\n", shrink.median(), shrink.p95());
    std::printf("  badges    median %6.2f ms  p95 %6.2f ms\n", badges.median(), badges.p95());
    std::printf("  png       median %6.2f ms  p95 %6.2f ms\n", png.median(), png.p95());
    std::printf("  captureWithMarks (all of it, debug copy included) median %6.2f ms  p95 %6.2f ms  (target < 50)\n",
                whole.median(), whole.p95());
    // On a busy machine the wall time counts others' work; the CPU time is this process's own.
    std::printf("  captureWithMarks CPU time of this process median %6.2f ms  p95 %6.2f ms\n", wholeCpu.median(),
                wholeCpu.p95());

    Stats magick;
    for (int i = 0; i < std::min(rounds, 5); ++i)
        if (auto ms = imageMagickRound(dir, marks)) magick.ms.push_back(*ms);
    if (magick.ms.empty())
        std::printf("  ImageMagick: not installed (apt install imagemagick)\n");
    else
        std::printf("  ImageMagick import + convert median %6.1f ms  -> %.1fx faster here\n", magick.median(),
                    magick.median() / whole.median());

    const long before = residentKiB();
    for (int i = 0; i < soak; ++i) {
        capture.captureWithMarks(marks);
        if ((i + 1) % (std::max(soak, 4) / 4) == 0)
            std::printf("  after %4d more captures: resident %ld KiB (%+ld)\n", i + 1, residentKiB(),
                        residentKiB() - before);
    }
    fs::remove_all(dir);
    return 0;
}
