#include "alerts/CurlLibrary.h"

#include <QLibrary>

#include <mutex>

namespace {

struct Loaded
{
    CurlLibrary api;
    QString problem;
};

template <typename F> bool resolve(QLibrary &library, const char *name, F &function, QString &problem)
{
    function = reinterpret_cast<F>(library.resolve(name));
    if (!function && problem.isEmpty())
        problem = QStringLiteral("the mail library lacks %1").arg(QLatin1String(name));
    return function != nullptr;
}

Loaded load()
{
    Loaded loaded;
    // Kept loaded for the program's life: libcurl must not go while a
    // handle of it might still exist.
    static QLibrary library(QStringLiteral("curl"), 4);
    if (!library.load()) {
        loaded.problem = QStringLiteral("the mail library libcurl could not be loaded: %1").arg(library.errorString());
        return loaded;
    }
    CurlLibrary &a = loaded.api;
    QString &p = loaded.problem;
    const bool all = resolve(library, "curl_global_init", a.global_init, p)
        & resolve(library, "curl_easy_init", a.easy_init, p) & resolve(library, "curl_easy_setopt", a.easy_setopt, p)
        & resolve(library, "curl_easy_perform", a.easy_perform, p)
        & resolve(library, "curl_easy_cleanup", a.easy_cleanup, p)
        & resolve(library, "curl_easy_strerror", a.easy_strerror, p)
        & resolve(library, "curl_slist_append", a.slist_append, p)
        & resolve(library, "curl_slist_free_all", a.slist_free_all, p)
        & resolve(library, "curl_mime_init", a.mime_init, p) & resolve(library, "curl_mime_free", a.mime_free, p)
        & resolve(library, "curl_mime_addpart", a.mime_addpart, p) & resolve(library, "curl_mime_data", a.mime_data, p)
        & resolve(library, "curl_mime_type", a.mime_type, p) & resolve(library, "curl_mime_encoder", a.mime_encoder, p)
        & resolve(library, "curl_mime_filename", a.mime_filename, p);
    if (all && a.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        p = QStringLiteral("the mail library could not start");
    return loaded;
}

} // namespace

const CurlLibrary *CurlLibrary::get(QString *problem)
{
    static std::once_flag once;
    static Loaded loaded;
    std::call_once(once, [] { loaded = load(); });
    if (!loaded.problem.isEmpty()) {
        if (problem)
            *problem = loaded.problem;
        return nullptr;
    }
    return &loaded.api;
}
