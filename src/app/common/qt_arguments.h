#pragma once

// Both programs read their own command line before Qt sees it. QGuiApplication and QApplication
// take out the options they know ("-reverse", "-platform", "--session" and the others, in
// their one- and two-dash forms) and act on them, so a converter option such as "--reverse"
// or a report named like one would never arrive. The application object is therefore given
// only the program name; whatever Qt needs is set in code.

#include <QStringList>

namespace zr::app {

class QtArguments {
public:
    // Keeps argv[0] for Qt and decodes the rest as the program's own arguments.
    QtArguments(int argc, char** argv);
    QtArguments(const QtArguments&) = delete;
    QtArguments& operator=(const QtArguments&) = delete;

    // What to hand to the application object. They must outlive it: keep this object alive
    // for the whole of main().
    int& argc() { return m_argc; }
    char** argv() { return m_argv; }

    // The arguments after the program name, exactly as given.
    const QStringList& arguments() const { return m_arguments; }

private:
    int m_argc = 1;
    char* m_argv[2] = {nullptr, nullptr};
    QStringList m_arguments;
};

} // namespace zr::app
