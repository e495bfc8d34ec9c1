// Resource lists of 20,000 entries: decoding alone, a whole update as the user sees it (decode,
// rebuild, sort, status line, layout and paint), and one filter keystroke.
//
//   QT_QPA_PLATFORM=offscreen build/release/bench/resources/bench_resource_lists
//       --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
// (one command line)

#include "gpuprofiler/resources/buffer_list_payload.h"
#include "gpuprofiler/resources/gpu_buffer_list_widget.h"
#include "gpuprofiler/resources/texture_list_payload.h"
#include "gpuprofiler/resources/texture_list_widget.h"
#include "tests/resources/resource_payload_builder.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QTreeView>

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

// Lays out and paints what changed, as the event loop would before the user sees it.
void Present(QWidget &widget)
{
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

// A refresh of a shown list that already holds 20,000 buffers, sorted by size.
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
template <typename Widget>
void FilterKeystrokes(benchmark::State &state, Widget &widget)
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
