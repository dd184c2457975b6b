#include "platform/linux/gio_launcher.h"

#include "platform/linux/desktop_entries.h"
#include "platform/linux/gobject_ptr.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <future>
#include <mutex>
#include <thread>

namespace twk {
namespace {

using Job = std::function<void()>;

gboolean runJob(gpointer job)
{
    (*static_cast<Job*>(job))();
    return G_SOURCE_REMOVE;
}

void deleteJob(gpointer job)
{
    delete static_cast<Job*>(job);
}

std::string takeMessage(GError* error)
{
    std::string message = error != nullptr ? error->message : "unknown error";
    g_clear_error(&error);
    return message;
}

// Runs in the started program between fork and exec: async-signal-safe
// calls only. Its own session keeps our terminal's hang-up and Ctrl-C away
// from it; signals we block or ignore must not stay so in it.
void detachChild(gpointer)
{
    setsid();
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const int signo : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM, SIGCHLD}) signal(signo, SIG_DFL);
}

} // namespace

struct GioLauncher::Loop {
    explicit Loop(std::string display) : displayName(std::move(display)) {}
    ~Loop()
    {
        g_object_unref(cancellable);
        g_main_loop_unref(mainLoop);
        g_main_context_unref(context);
    }
    Loop(const Loop&) = delete;
    Loop& operator=(const Loop&) = delete;

    const std::string displayName;
    GMainContext* const context = g_main_context_new();
    GMainLoop* const mainLoop = g_main_loop_new(context, FALSE);
    GCancellable* const cancellable = g_cancellable_new();
    std::mutex mutex;
    bool stopping = false; // guarded by mutex
    int inFlight = 0;      // asynchronous launches not yet completed; loop thread only
    std::thread thread;

    /// Runs `job` on the loop thread (at once when already on it).
    bool post(Job job)
    {
        std::lock_guard lock(mutex);
        if (stopping) return false;
        g_main_context_invoke_full(context, G_PRIORITY_DEFAULT, runJob, new Job(std::move(job)), deleteJob);
        return true;
    }

    void run()
    {
        g_main_context_push_thread_default(context);
        g_main_loop_run(mainLoop);
        // Jobs posted before the stop still run; launches in flight were
        // cancelled and report it.
        while (inFlight > 0 || g_main_context_pending(context)) g_main_context_iteration(context, TRUE);
        g_main_context_pop_thread_default(context);
    }

    GObjectPtr<GAppLaunchContext> newLaunchContext() const
    {
        GObjectPtr<GAppLaunchContext> launchContext(g_app_launch_context_new());
        if (!displayName.empty()) g_app_launch_context_setenv(launchContext.get(), "DISPLAY", displayName.c_str());
        g_app_launch_context_unsetenv(launchContext.get(), "DESKTOP_STARTUP_ID");
        return launchContext;
    }

    /// Spawns `app` detached, or asks the bus to activate it without waiting
    /// for the answer (GIO's callbacks for it run on this loop). Its standard
    /// streams are the null device, as a desktop launcher's would be: were
    /// they ours, whoever reads our output through a pipe would wait for the
    /// application to exit. (The user's journal would need libsystemd.)
    bool startDetached(GAppInfo* app, GList* uris, GError** error) const
    {
        const auto launchContext = newLaunchContext();
        if (!G_IS_DESKTOP_APP_INFO(app)) {
            // Every handler on this platform is a desktop entry; anything else
            // could only inherit our streams.
            g_set_error_literal(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED, "the handler is not a desktop entry");
            return false;
        }
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null < 0) {
            g_set_error_literal(error, G_IO_ERROR, G_IO_ERROR_FAILED, "cannot open /dev/null");
            return false;
        }
        const bool ok = g_desktop_app_info_launch_uris_as_manager_with_fds(
                            G_DESKTOP_APP_INFO(app), uris, launchContext.get(), G_SPAWN_SEARCH_PATH, detachChild,
                            nullptr, nullptr, nullptr, null, null, null, error) != FALSE;
        ::close(null);
        return ok;
    }

    struct AsyncLaunch {
        Loop* loop;
        Completion completion;
    };

    static void onActivated(GObject* source, GAsyncResult* result, gpointer data)
    {
        const std::unique_ptr<AsyncLaunch> launch(static_cast<AsyncLaunch*>(data));
        GError* error = nullptr;
        const bool ok = g_app_info_launch_uris_finish(G_APP_INFO(source), result, &error) != FALSE;
        --launch->loop->inFlight;
        launch->completion(ok ? std::nullopt : std::optional(takeMessage(error)));
    }

    void launch(const std::string& desktopId, Completion completion)
    {
        const GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new(desktopFileId(desktopId).c_str()));
        if (!info) {
            completion("no installed application has the id " + desktopId);
            return;
        }
        if (g_desktop_app_info_get_boolean(info.get(), "DBusActivatable")) {
            // The bus starts it; its answer tells whether that worked.
            ++inFlight;
            const auto launchContext = newLaunchContext();
            g_app_info_launch_uris_async(G_APP_INFO(info.get()), nullptr, launchContext.get(), cancellable,
                                         onActivated, new AsyncLaunch{this, std::move(completion)});
            return;
        }
        GError* error = nullptr;
        const bool ok = startDetached(G_APP_INFO(info.get()), nullptr, &error);
        completion(ok ? std::nullopt : std::optional(takeMessage(error)));
    }

    bool openURL(const std::string& url) const
    {
        GObjectPtr<GAppInfo> handler;
        if (gchar* scheme = g_uri_parse_scheme(url.c_str())) {
            handler.reset(g_app_info_get_default_for_uri_scheme(scheme));
            g_free(scheme);
        }
        if (!handler) {
            // Files (and schemes GIO's own file backends serve) by content type.
            const GObjectPtr<GFile> file(g_file_new_for_uri(url.c_str()));
            handler.reset(g_file_query_default_handler(file.get(), nullptr, nullptr));
        }
        if (!handler) return false;
        GList* uris = g_list_append(nullptr, const_cast<char*>(url.c_str()));
        GError* error = nullptr;
        const bool ok = startDetached(handler.get(), uris, &error);
        g_list_free(uris);
        g_clear_error(&error);
        return ok;
    }
};

GioLauncher::GioLauncher(std::string displayName) : loop_(std::make_unique<Loop>(std::move(displayName)))
{
    loop_->thread = std::thread([loop = loop_.get()] { loop->run(); });
    pthread_setname_np(loop_->thread.native_handle(), "twk-gio");
}

GioLauncher::~GioLauncher()
{
    {
        std::lock_guard lock(loop_->mutex);
        loop_->stopping = true;
    }
    g_main_context_invoke(
        loop_->context,
        [](gpointer data) {
            auto* loop = static_cast<Loop*>(data);
            g_cancellable_cancel(loop->cancellable);
            g_main_loop_quit(loop->mainLoop);
            return G_SOURCE_REMOVE;
        },
        loop_.get());
    loop_->thread.join();
}

void GioLauncher::launch(const std::string& desktopId, Completion completion)
{
    // Jobs are copyable functions; the completion is not copied.
    auto once = std::make_shared<Completion>(std::move(completion));
    if (!loop_->post([loop = loop_.get(), desktopId, once] { loop->launch(desktopId, std::move(*once)); }))
        (*once)("the application launcher has stopped");
}

bool GioLauncher::openURL(const std::string& url)
{
    if (url.empty() || url.find('\0') != std::string::npos) return false;
    auto opened = std::make_shared<std::promise<bool>>();
    auto result = opened->get_future();
    if (!loop_->post([loop = loop_.get(), url, opened] { opened->set_value(loop->openURL(url)); })) return false;
    return result.get();
}

} // namespace twk
