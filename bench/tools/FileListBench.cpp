// Filling the file list from a script (gridview.setCellData for every cell, then update) beside
// a bare QTableWidget filled with the same texts, both painted once at the end.
#include "api/GridViewTable.h"
#include "engine/Host.h"
#include "engine/ScriptEngine.h"
#include "tools/GridView.h"

#include <QApplication>
#include <QTableWidget>

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kRows = 10'000;
constexpr int kColumns = 3;

constexpr engine::HostLibrary kLibraries[] = {{"gridview", &api::installGridView}};

struct ScriptedList {
    engine::ScriptEngine engine{kLibraries, engine::ScriptEngine::Streams::Process};
    tools::CGridView view;

    ScriptedList()
    {
        (void)engine.open();
        view.resize(400, 600);
        view.show();
        lua_State* L = engine.state();
        const std::string setup = "ID = " + std::to_string(view.id()) +
                                  " NAMES = {} for r = 1, 100000 do NAMES[r] = string.format('picture%06d.jpg', r) end";
        luaL_dostring(L, setup.c_str());
        QCoreApplication::processEvents();
    }
    void run(const char* code)
    {
        if (luaL_dostring(engine.state(), code) != 0)
            qFatal("%s", lua_tostring(engine.state(), -1));
    }
};

ScriptedList& scripted()
{
    static ScriptedList list;
    return list;
}

void BM_ScriptFill(benchmark::State& state)
{
    ScriptedList& list = scripted();
    const std::string fill = "local rows, cols = " + std::to_string(state.range(0)) + ", " + std::to_string(state.range(1)) +
                             " local set = gridview.setCellData"
                             " for r = 1, rows do local name = NAMES[r]"
                             "   for c = 0, cols - 1 do set(ID, r, c, {text = name}) end"
                             " end gridview.update(ID)";
    for (auto _ : state) {
        state.PauseTiming();
        list.run("gridview.setRowCount(ID, 1)");
        list.run(("gridview.setColumnCount(ID, " + std::to_string(state.range(1)) + ")").c_str());
        state.ResumeTiming();
        list.run(("gridview.setRowCount(ID, " + std::to_string(state.range(0) + 1) + ")").c_str());
        list.run(fill.c_str());
        QCoreApplication::processEvents();
    }
    state.counters["per_row"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

void BM_QTableWidgetFill(benchmark::State& state)
{
    QTableWidget table;
    table.resize(400, 600);
    table.show();
    QStringList names;
    for (int r = 1; r <= state.range(0); ++r)
        names << QString::asprintf("picture%06d.jpg", r);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        table.setRowCount(1);
        table.setColumnCount(static_cast<int>(state.range(1)));
        state.ResumeTiming();
        table.setRowCount(static_cast<int>(state.range(0)) + 1);
        for (int r = 1; r <= state.range(0); ++r) {
            for (int c = 0; c < state.range(1); ++c)
                table.setItem(r, c, new QTableWidgetItem(names[r - 1]));
        }
        table.viewport()->update();
        QCoreApplication::processEvents();
    }
    state.counters["per_row"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

BENCHMARK(BM_ScriptFill)->Args({kRows, kColumns})->Args({100'000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTableWidgetFill)->Args({kRows, kColumns})->Args({100'000, 1})->Unit(benchmark::kMillisecond);

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
