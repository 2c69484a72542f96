// 100,000 lines of script output through the console's drain (the engine's output queue, the
// code page 932 conversion, the editor) beside the same text appended to a bare QScintilla
// editor; all keep the end in view and are painted once at the end. The console colours its
// text as Lua, so the bare editor is measured with the Lua lexer too: the difference between
// the two references is the lexer's own share. The bare editor's pipe-sized appends are slow
// because the component counts the characters before every insertion it reports.
#include "engine/OutputQueue.h"
#include "platform/TextCodec.h"
#include "tools/ConsoleFrame.h"
#include "tools/SciEdit.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using Sci = QsciScintillaBase;

constexpr int kLines = 100'000;
constexpr std::size_t kPipeRead = 4096;  // what one read of a child's pipe gives

// Script output in code page 932: a counter, Japanese text and some Lua-looking words.
const std::string& outputText()
{
    static const std::string text = [] {
        std::string out;
        char line[96];
        for (int i = 0; i < kLines; ++i) {
            std::snprintf(line, sizeof line, "%06d \x8f\x88\x97\x9d\x92\x86 local x = %d -- done\n", i, i * 7);
            out += line;
        }
        return out;
    }();
    return text;
}

// The pieces the console receives: everything in one idle pass, or pipe-sized reads.
std::vector<std::string_view> pieces(std::size_t size)
{
    std::vector<std::string_view> out;
    const std::string_view text = outputText();
    for (std::size_t at = 0; at < text.size(); at += size)
        out.push_back(text.substr(at, size));
    return out;
}

tools::CConsoleFrame& console()
{
    static tools::CConsoleFrame* frame = [] {
        tools::CConsoleFrame* f = tools::CConsoleFrame::create(nullptr);
        if (!f)
            qFatal("no console");
        f->resize(600, 400);
        f->show();
        QCoreApplication::processEvents();
        return f;
    }();
    return *frame;
}

void BM_ConsoleDrain(benchmark::State& state)
{
    tools::CConsoleFrame& frame = console();
    engine::OutputQueue queue;
    const std::vector<std::string_view> parts = pieces(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        frame.view()->send(Sci::SCI_CLEARALL);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        for (std::string_view part : parts) {
            queue.append(part);
            frame.appendOutput(queue.take());
        }
        QCoreApplication::processEvents();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * outputText().size()));
}

void BM_BareEditorAppend(benchmark::State& state)
{
    QsciScintilla editor;
    editor.resize(600, 400);
    if (state.range(1))
        editor.SendScintilla(Sci::SCI_SETLEXER, 15);  // Lua
    editor.show();
    QStringList parts;
    for (std::string_view part : pieces(static_cast<std::size_t>(state.range(0))))
        parts << platform::cp932ToQString(part);  // piece ends may split a character: the reference does not care
    QCoreApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        editor.clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        for (const QString& part : parts) {
            editor.append(part);
            editor.SendScintilla(Sci::SCI_LINESCROLL, 0, editor.SendScintilla(Sci::SCI_GETLINECOUNT));
        }
        QCoreApplication::processEvents();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * outputText().size()));
}

const std::size_t kAll = outputText().size();

BENCHMARK(BM_ConsoleDrain)->Arg(static_cast<int64_t>(kAll))->Arg(kPipeRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareEditorAppend)
    ->ArgNames({"piece", "lua"})
    ->Args({static_cast<int64_t>(kAll), 0})
    ->Args({static_cast<int64_t>(kAll), 1})
    ->Args({kPipeRead, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
