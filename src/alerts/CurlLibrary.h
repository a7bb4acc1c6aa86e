#pragma once

#include <QString>

#include <curl/curl.h>

// libcurl, loaded the first time a message is sent rather than with the
// program: its own libraries (Kerberos, LDAP, SSH, RTMP …) more than double
// the start of every reciplex-scan run, while only e-mail alerts use it.
struct CurlLibrary
{
    CURLcode (*global_init)(long flags) = nullptr;
    CURL *(*easy_init)() = nullptr;
    CURLcode (*easy_setopt)(CURL *curl, CURLoption option, ...) = nullptr;
    CURLcode (*easy_perform)(CURL *curl) = nullptr;
    void (*easy_cleanup)(CURL *curl) = nullptr;
    const char *(*easy_strerror)(CURLcode code) = nullptr;
    curl_slist *(*slist_append)(curl_slist *list, const char *text) = nullptr;
    void (*slist_free_all)(curl_slist *list) = nullptr;
    curl_mime *(*mime_init)(CURL *curl) = nullptr;
    void (*mime_free)(curl_mime *mime) = nullptr;
    curl_mimepart *(*mime_addpart)(curl_mime *mime) = nullptr;
    CURLcode (*mime_data)(curl_mimepart *part, const char *data, size_t size) = nullptr;
    CURLcode (*mime_type)(curl_mimepart *part, const char *type) = nullptr;
    CURLcode (*mime_encoder)(curl_mimepart *part, const char *encoding) = nullptr;
    CURLcode (*mime_filename)(curl_mimepart *part, const char *name) = nullptr;

    // The library, loaded and initialised once; nullptr when it cannot be
    // (problem then says why).
    static const CurlLibrary *get(QString *problem = nullptr);
};
