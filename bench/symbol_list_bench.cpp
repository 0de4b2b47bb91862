// Reading the symbol libraries' list files of growing length: a catalogue
// (T-Sywj.dat) and an index of N lines, decoded from GBK; and filling a
// sorted drop-down list (as the palette lists a catalogue's libraries) with
// N names in scrambled order. Only the loads and the filling are timed;
// each file is generated once per size. Ten times the lines take about ten
// times as long to read. The list finds each place by binary search, but
// an item put before others still moves them, so a scrambled fill grows
// faster than the count (names that come in order are only appended).
#include "library/SymbolLibrary.h"
#include "ui/afxwin.h"
#include "ui/dlgtemplate.h"

#include <benchmark/benchmark.h>

#include <map>
#include <vector>
#include <string>

namespace {

const std::string& catalogue(int lines)
{
    static std::map<int, std::string> files;
    std::string& text = files[lines];
    if (text.empty())
        for (int i = 0; i < lines; ++i)
            text += "Library" + std::to_string(i) + " Folder" + std::to_string(i) + " 6 " + std::to_string(i) + "\n";
    return text;
}

const std::string& index(int lines)
{
    static std::map<int, std::string> files;
    std::string& text = files[lines];
    if (text.empty())
        for (int i = 0; i < lines; ++i)
            text += "KM" + std::to_string(i) + " Contactor K" + std::to_string(i) + " - 1 2 3 4 5\n";
    return text;
}

void BM_LoadCatalogue(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0));
    const std::string& text = catalogue(lines);
    int count = 0;
    for (auto _ : state) {
        CSymbolLibCatalog c;
        c.LoadText(text, "GBK");
        count = c.GetCount();
        benchmark::DoNotOptimize(count);
    }
    if (count != lines)
        state.SkipWithError("read a different number of entries");
    state.SetComplexityN(lines);
}

void BM_LoadIndex(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0));
    const std::string& text = index(lines);
    int count = 0;
    for (auto _ : state) {
        CSymbolIndex x;
        x.LoadText(text, "GBK");
        count = x.GetCount();
        benchmark::DoNotOptimize(count);
    }
    if (count != lines)
        state.SkipWithError("read a different number of symbols");
    state.SetComplexityN(lines);
}

constexpr UINT kListDialog = 39001;
constexpr int kList = 1001;

void BM_FillSortedList(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0));
    ui::DialogTemplate t;
    t.id = kListDialog;
    t.cx = 100;
    t.cy = 40;
    t.controls = {{kList, ui::ControlKind::ComboBox, L"", {5, 5, 90, 80}, CBS_SORT}};
    ui::registerDialogTemplate(std::move(t));
    // A step prime to the count visits every name once, out of order.
    std::vector<std::wstring> names;
    for (int i = 0; i < lines; ++i)
        names.push_back(L"Library" + std::to_wstring((static_cast<long long>(i) * 7919) % lines));
    int count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CDialog dialog;
        dialog.Create(kListDialog);
        auto* list = static_cast<CComboBox*>(dialog.GetDlgItem(kList));
        state.ResumeTiming();
        for (const std::wstring& name : names)
            list->AddString(name.c_str());
        state.PauseTiming();
        count = list->GetCount();
        dialog.DestroyWindow();
        state.ResumeTiming();
    }
    if (count != lines)
        state.SkipWithError("listed a different number of names");
    state.SetComplexityN(lines);
}

} // namespace

BENCHMARK(BM_FillSortedList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_LoadCatalogue)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_LoadIndex)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

BENCHMARK_MAIN();
