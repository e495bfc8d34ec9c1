// Resource lists of 20,000 entries: decoding alone, a whole update as the user sees it (decode,
// rebuild, sort, status line, layout and paint), and one filter keystroke. Lists of a million
// entries (the most a list keeps): the worker thread's part (decoding, sorting by name), the
// user-interface thread's part of an arrival (filtering, the model reset, layout and paint),
// a click on another column and a filter keystroke; and a hostile 64 MiB payload from its
// arrival until it is shown.
//
//   QT_QPA_PLATFORM=offscreen build/release/bench/resources/bench_resource_lists
//       --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
// (one command line)

#include "buffer_list_payload.h"
#include "buffer_list_sort_filter_proxy_model.h"
#include "gpu_buffer_list_widget.h"
#include "resource_payload_builder.h"
#include "texture_list_payload.h"
#include "texture_list_widget.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QTreeView>

#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int kEntries = 20000;

PayloadBuilder MakeBuffers(int nCount)
{
    std::vector<BufferDesc> buffers;
    buffers.reserve(size_t(nCount));
    for (int i = 0; i < nCount; ++i) {
        const uint32 nElemSize = 4u << (i % 5);
        const uint32 nCapacity = 64u + uint32(i * 37 % 100000);
        buffers.push_back({uint8(i % 3 == 0), uint16(nElemSize), nCapacity, nCapacity - uint32(i % 64), nCapacity * nElemSize,
                           "models/props_" + std::to_string(i % 97) + "/mesh_" + std::to_string(i) + (i % 3 == 0 ? ".ib" : ".vb")});
    }
    return PayloadBuilder::Buffers(buffers);
}

PayloadBuilder MakeTextures(int nCount)
{
    static const uint16 s_Flags[] = {0x0002, 0x0002, 0x0022, 0x0042, 0x0008, 0x0018, 0x0004, 0x0102, 0x0202, 0x0402};
    static const int8 s_Formats[] = {0, 12, 13, 15, 24, 29, 85, 86, -1, 57};
    std::vector<TextureDesc> textures;
    textures.reserve(size_t(nCount));
    for (int i = 0; i < nCount; ++i) {
        TextureDesc t;
        t.diskWidth = uint16(16 << (i % 8));
        t.diskHeight = uint16(16 << ((i / 8) % 8));
        t.diskDepth = (i % 50 == 0) ? 16 : 1;
        t.resWidth = uint16(t.diskWidth >> (i % 2));
        t.resHeight = uint16(t.diskHeight >> (i % 2));
        t.resDepth = t.diskDepth;
        t.flags = s_Flags[i % 10];
        t.diskMips = uint8(i % 4 == 0 ? 0 : 1 + i % 9);
        t.resMips = uint8(i % 12);
        t.format = s_Formats[(i / 10) % 10];
        t.name = "materials/world_" + std::to_string(i % 211) + "/surface_" + std::to_string(i) + ".vtf";
        textures.push_back(std::move(t));
    }
    return PayloadBuilder::Textures(textures);
}

const PayloadBuilder &Buffers()
{
    static const PayloadBuilder s_Payload = MakeBuffers(kEntries);
    return s_Payload;
}

const PayloadBuilder &Textures()
{
    static const PayloadBuilder s_Payload = MakeTextures(kEntries);
    return s_Payload;
}

// Lays out and paints what changed, as the event loop would before the user sees it, once a
// list that is being decoded on the worker thread has arrived.
void Present(CQResourceListWidget &widget)
{
    while (widget.IsDecoding())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    QCoreApplication::processEvents();
    widget.repaint();
}

void BM_ParseBufferList(benchmark::State &state)
{
    BufferList list;
    for (auto _ : state) {
        ParseBufferList(Buffers().Data(), Buffers().Size(), &list);
        benchmark::DoNotOptimize(list.entries.Base());
    }
}
BENCHMARK(BM_ParseBufferList)->Unit(benchmark::kMillisecond);

void BM_ParseTextureList(benchmark::State &state)
{
    TextureList list;
    for (auto _ : state) {
        ParseTextureList(Textures().Data(), Textures().Size(), &list);
        benchmark::DoNotOptimize(list.entries.Base());
    }
}
BENCHMARK(BM_ParseTextureList)->Unit(benchmark::kMillisecond);

// A refresh of a shown list that already holds 20,000 buffers, sorted by size (the textures'
// payload is over a megabyte, so theirs is decoded on the worker thread).
void BM_BufferListUpdate(benchmark::State &state)
{
    CQGPUBufferListWidget widget;
    widget.resize(1000, 900);
    widget.show();
    widget.View()->sortByColumn(2, Qt::DescendingOrder);
    widget.UpdateBufferList(Buffers().Data(), Buffers().Size());
    Present(widget);
    for (auto _ : state) {
        widget.UpdateBufferList(Buffers().Data(), Buffers().Size());
        Present(widget);
    }
}
BENCHMARK(BM_BufferListUpdate)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextureListUpdate(benchmark::State &state)
{
    CQTextureListWidget widget;
    widget.resize(1000, 900);
    widget.show();
    widget.View()->sortByColumn(0, Qt::AscendingOrder);
    widget.UpdateTextureList(Textures().Data(), Textures().Size());
    Present(widget);
    for (auto _ : state) {
        widget.UpdateTextureList(Textures().Data(), Textures().Size());
        Present(widget);
    }
}
BENCHMARK(BM_TextureListUpdate)->Unit(benchmark::kMillisecond)->UseRealTime();

// One character typed into the filter and one deleted again, alternately: each iteration is
// one keystroke. The fragment matches about a tenth of the rows.
template <typename Widget> void FilterKeystrokes(benchmark::State &state, Widget &widget)
{
    widget.resize(1000, 900);
    widget.show();
    Present(widget);
    bool bLonger = false;
    for (auto _ : state) {
        widget.FilterEdit()->setText(bLonger ? QStringLiteral("_12/") : QStringLiteral("_12"));
        Present(widget);
        bLonger = !bLonger;
    }
}

void BM_BufferFilterKeystroke(benchmark::State &state)
{
    CQGPUBufferListWidget widget;
    widget.View()->sortByColumn(0, Qt::AscendingOrder);
    widget.UpdateBufferList(Buffers().Data(), Buffers().Size());
    FilterKeystrokes(state, widget);
}
BENCHMARK(BM_BufferFilterKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextureFilterKeystroke(benchmark::State &state)
{
    CQTextureListWidget widget;
    widget.View()->sortByColumn(0, Qt::AscendingOrder);
    widget.UpdateTextureList(Textures().Data(), Textures().Size());
    FilterKeystrokes(state, widget);
}
BENCHMARK(BM_TextureFilterKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kMillion = kMaxResourceListEntries;

const PayloadBuilder &MillionBuffers()
{
    static const PayloadBuilder s_Payload = MakeBuffers(kMillion);
    return s_Payload;
}

void BM_ParseMillionBuffers(benchmark::State &state)
{
    BufferList list;
    for (auto _ : state) {
        ParseBufferList(MillionBuffers().Data(), MillionBuffers().Size(), &list);
        benchmark::DoNotOptimize(list.entries.Base());
    }
}
BENCHMARK(BM_ParseMillionBuffers)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SortMillionBuffersByName(benchmark::State &state)
{
    BufferList list;
    ParseBufferList(MillionBuffers().Data(), MillionBuffers().Size(), &list);
    GrowableArray<int32> sorted;
    for (auto _ : state)
        SortEntries(CBufferListSortKeys(list), kBufferColName, true, &sorted);
}
BENCHMARK(BM_SortMillionBuffersByName)->Unit(benchmark::kMillisecond)->Iterations(5);

// What the user-interface thread does when a decoded and sorted list of a million buffers is
// handed over: the filter pass, the model reset, the view's layout and a paint.
void BM_MillionBuffersShown(benchmark::State &state)
{
    CQGPUBufferListWidget widget;
    widget.resize(1000, 900);
    widget.show();
    CQBufferListSortFilterProxyModel *pModel = widget.Model();
    for (auto _ : state) {
        state.PauseTiming();
        BufferList list;
        ParseBufferList(MillionBuffers().Data(), MillionBuffers().Size(), &list);
        GrowableArray<int32> sorted;
        SortEntries(CBufferListSortKeys(list), pModel->SortColumn(), pModel->SortOrder() == Qt::DescendingOrder, &sorted);
        state.ResumeTiming();
        pModel->SetList(list, sorted);
        widget.UpdateStatusBar();
        Present(widget);
    }
}
BENCHMARK(BM_MillionBuffersShown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// A click on the "Size" header, alternating the direction, with a million buffers shown.
void BM_MillionBuffersSortClick(benchmark::State &state)
{
    CQGPUBufferListWidget widget;
    widget.resize(1000, 900);
    widget.show();
    widget.UpdateBufferList(MillionBuffers().Data(), MillionBuffers().Size());
    Present(widget);
    bool bDescending = false;
    for (auto _ : state) {
        widget.View()->sortByColumn(kBufferColSize, bDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
        Present(widget);
        bDescending = !bDescending;
    }
}
BENCHMARK(BM_MillionBuffersSortClick)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

void BM_MillionBuffersFilterKeystroke(benchmark::State &state)
{
    CQGPUBufferListWidget widget;
    widget.UpdateBufferList(MillionBuffers().Data(), MillionBuffers().Size());
    Present(widget);
    FilterKeystrokes(state, widget);
}
BENCHMARK(BM_MillionBuffersFilterKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

// A hostile buffer list: 64 MiB of zeros claiming 2^31 - 1 entries, from its arrival until the
// list (cut at a million) is shown, with the decode on the worker thread.
void BM_HostileBufferList(benchmark::State &state)
{
    static const std::vector<uint8> s_Payload = [] {
        std::vector<uint8> bytes(64u << 20, 0);
        const int32 nCount = 0x7fffffff;
        std::memcpy(bytes.data(), &nCount, 4);
        return bytes;
    }();
    CQGPUBufferListWidget widget;
    widget.resize(1000, 900);
    widget.show();
    for (auto _ : state) {
        widget.UpdateBufferList(s_Payload.data(), uint32(s_Payload.size()));
        Present(widget);
    }
}
BENCHMARK(BM_HostileBufferList)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
