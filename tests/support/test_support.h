#pragma once
// Shared pieces of every test executable: the main function and allocation accounting.

#include "mem_alloc.h"

#include <QApplication>
#include <QLocale>
#include <QtTest>

// Widgets run offscreen unless the caller chose a platform, and number formatting follows a
// fixed locale so that texts compare the same on every machine.
void PrepareTestEnvironment();

#define GPUPROF_TEST_MAIN(TestObject)                                                                                                      \
  int main(int argc, char **argv)                                                                                                          \
  {                                                                                                                                        \
    PrepareTestEnvironment();                                                                                                              \
    QApplication app(argc, argv);                                                                                                          \
    TestObject tc;                                                                                                                         \
    return QTest::qExec(&tc, argc, argv);                                                                                                  \
  }

// format.arg(v1).arg(v2)... in one call, so that a long row of values in a dump reads as one row.
template <typename... Values> QString Args(QString format, const Values &...values)
{
    ((format = format.arg(values)), ...);
    return format;
}

// nSize bytes from pData, to compare and to print on failure.
inline QByteArray Bytes(const void *pData, size_t nSize)
{
    return QByteArray(static_cast<const char *>(pData), qsizetype(nSize));
}

// Live blocks and bytes of g_pMemAlloc at construction; Leaked*() report what is still live
// beyond that.
class AllocationSnapshot
{
public:
    AllocationSnapshot() : m_nBlocks(g_pMemAlloc->GetLiveAllocationCount()), m_nBytes(g_pMemAlloc->GetLiveBytes()) {}
    int64 LeakedBlocks() const { return g_pMemAlloc->GetLiveAllocationCount() - m_nBlocks; }
    int64 LeakedBytes() const { return g_pMemAlloc->GetLiveBytes() - m_nBytes; }

private:
    int64 m_nBlocks;
    int64 m_nBytes;
};

#define GPUPROF_COMPARE_NO_LEAKS(snapshot)                                                                                                 \
  do {                                                                                                                                     \
    QCOMPARE((snapshot).LeakedBlocks(), int64(0));                                                                                         \
    QCOMPARE((snapshot).LeakedBytes(), int64(0));                                                                                          \
  } while (0)

// The messages of one logging category while it lives, kept instead of printed; every other
// message goes on to the handler that was installed before.
class LogCollector
{
public:
    explicit LogCollector(const char *pszCategory);
    ~LogCollector();
    LogCollector(const LogCollector &) = delete;
    LogCollector &operator=(const LogCollector &) = delete;

    QStringList Lines() const;
};
