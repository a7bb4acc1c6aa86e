#pragma once

#include <QApplication>
#include <QtTest>

#include <unistd.h>

// The main() of a widget test: the web engine needs its OpenGL contexts shared
// before the application exists, and its sandbox off when the tests run as
// root (as they do in containers).
#define RECIPLEX_UI_TEST_MAIN(TestClass)                                                   \
    int main(int argc, char **argv)                                                        \
    {                                                                                      \
        if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))   \
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");                         \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                        \
        QApplication app(argc, argv);                                                      \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                           \
        TestClass tc;                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                         \
        return QTest::qExec(&tc, argc, argv);                                              \
    }
