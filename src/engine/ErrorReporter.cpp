#include "ErrorReporter.h"

#include "platform/MessageLine.h"

namespace engine {
namespace {

ErrorReporter& installed()
{
    static ErrorReporter reporter;
    return reporter;
}

}  // namespace

void setErrorReporter(ErrorReporter reporter) { installed() = std::move(reporter); }

void reportError(const ErrorReport& report)
{
    if (const ErrorReporter& reporter = installed())
        reporter(report);
    else
        reportToStandardError(report);
}

void reportToStandardError(const ErrorReport& report) { platform::writeMessageLine(report.caption, report.text); }

}  // namespace engine
