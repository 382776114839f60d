#include "net/DesktopProxy.h"

#include <gio/gio.h>

#include <memory>
#include <mutex>

#include "base/Format.h"

namespace {
constexpr unsigned kPollMilliseconds = 100;
// A resolver that ignores its cancellable is not waited for much longer.
constexpr std::chrono::milliseconds kAfterCancel{1000};

// Lives until the resolver has answered: a lookup abandoned past its wait leaks it rather than
// leave the callback a dangling pointer.
struct PendingLookup {
    bool done = false;
    bool abandoned = false;
    gchar** answers = nullptr;
    GError* error = nullptr;
};

void OnLookedUp(GObject* source, GAsyncResult* result, gpointer data) {
    auto* pending = static_cast<PendingLookup*>(data);
    pending->answers =
        g_proxy_resolver_lookup_finish(G_PROXY_RESOLVER(source), result, &pending->error);
    pending->done = true;
    if (!pending->abandoned) return;
    g_strfreev(pending->answers);
    if (pending->error) g_error_free(pending->error);
    delete pending;
}

// lateReason: why the lookup was cancelled; its answer, should one have come since, is not used.
ProxyLookup Outcome(const PendingLookup& pending, const std::string& lateReason) {
    ProxyLookup lookup;
    if (!lateReason.empty()) {
        lookup.failure = lateReason;
        return lookup;
    }
    if (!pending.answers) lookup.failure = pending.error ? pending.error->message : "no answer";
    for (gchar** answer = pending.answers; answer && *answer; ++answer)
        lookup.answers.emplace_back(*answer);
    if (lookup.answers.empty() && lookup.failure.empty()) lookup.failure = "an empty answer";
    return lookup;
}

// Runs the lookup on a main context of this thread's own, woken every 100 ms to look at the
// clock and the stop flag.
ProxyLookup LookUp(GProxyResolver* resolver, const std::string& origin,
                   const std::atomic<int>& stop, std::chrono::milliseconds deadline) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GSource* tick = g_timeout_source_new(kPollMilliseconds);
    g_source_set_callback(
        tick, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
    g_source_attach(tick, context);
    GCancellable* cancellable = g_cancellable_new();
    auto* pending = new PendingLookup;
    g_proxy_resolver_lookup_async(resolver, origin.c_str(), cancellable, &OnLookedUp, pending);

    using Clock = std::chrono::steady_clock;
    auto until = Clock::now() + deadline;
    std::string late;
    while (!pending->done && !(!late.empty() && Clock::now() >= until)) {
        const bool stopped = stop.load(std::memory_order_relaxed) != 0;
        if (late.empty() && (stopped || Clock::now() >= until)) {
            late = stopped ? std::string("stopped")
                           : Format("no answer within %.1f s",
                                    static_cast<double>(deadline.count()) / 1000.0);
            until = Clock::now() + kAfterCancel;
            g_cancellable_cancel(cancellable);
        }
        g_main_context_iteration(context, TRUE);
    }
    ProxyLookup lookup = Outcome(*pending, late);
    if (pending->done) {
        g_strfreev(pending->answers);
        if (pending->error) g_error_free(pending->error);
        delete pending;
    } else {
        pending->abandoned = true;
    }
    g_object_unref(cancellable);
    g_source_destroy(tick);
    g_source_unref(tick);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return lookup;
}
}  // namespace

ProxyResolver DesktopProxyResolver(std::chrono::milliseconds deadline) {
    // Made by the first lookup (loading GLib's proxy module and libproxy's takes tens of
    // milliseconds, which the window's thread must not wait for), outside the lookup's own main
    // context: the settings it follows then report their changes to the window's main loop.
    struct Default {
        std::once_flag made;
        GProxyResolver* resolver = nullptr;
        ~Default() {
            if (resolver) g_object_unref(resolver);
        }
    };
    auto shared = std::make_shared<Default>();
    return [shared, deadline](const std::string& origin, const std::atomic<int>& stop) {
        std::call_once(shared->made, [&] {
            shared->resolver = G_PROXY_RESOLVER(g_object_ref(g_proxy_resolver_get_default()));
        });
        return LookUp(shared->resolver, origin, stop, deadline);
    };
}
