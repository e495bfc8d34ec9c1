// Loads the built plug-in as the host does (dlopen, CreateInterface) and calls it only through
// the interface tables it hands out, so that the binary interface itself is what is tested.

#include "external_subtool.h"
#include "fake_host.h"
#include "module_exports.h"
#include "test_support.h"

#include <QAction>

#include <dlfcn.h>

class TestModuleLoad : public QObject
{
    Q_OBJECT

    void *m_pModule = nullptr;

    template <typename Fn>
    Fn Resolve(const char *pszName)
    {
        return reinterpret_cast<Fn>(dlsym(m_pModule, pszName));
    }

private slots:
    void initTestCase()
    {
        m_pModule = dlopen(GPUPROFILER_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(m_pModule, dlerror());
    }

    void cleanupTestCase()
    {
        if (m_pModule)
            QCOMPARE(dlclose(m_pModule), 0);
    }

    void exportTableAnswers()
    {
        auto pGetValue = Resolve<BinaryPropertiesGetValueFn>(BINARYPROPERTIES_GETVALUE_EXPORT_NAME);
        BinaryPropertyValue_t value{};
        QCOMPARE(pGetValue(4, &value), 1);
        QCOMPARE(value.m_nType, uint32(BINARY_PROPERTY_STRING));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(uintptr_t(value.m_nValue))), QByteArray("gpuprofiler_subtool"));
        QCOMPARE(pGetValue(7, &value), 1);
        QCOMPARE(value.m_nValue, uint64(2));
        QCOMPARE(pGetValue(8, &value), 0);

        QCOMPARE(Resolve<GetResourceManifestCountFn>(GETRESOURCEMANIFESTCOUNT_EXPORT_NAME)(), 0);
        const void *manifests[2] = {};
        QCOMPARE(Resolve<GetResourceManifestsFn>(GETRESOURCEMANIFESTS_EXPORT_NAME)(0, manifests, 2), 0);

        auto pInstall = Resolve<InstallSchemaBindingsFn>(INSTALLSCHEMABINDINGS_EXPORT_NAME);
        QVERIFY(!pInstall("SchemaSystem_000", nullptr));
        QVERIFY(pInstall("SchemaSystem_001", nullptr));
    }

    void subtoolThroughItsTables()
    {
        auto pCreate = Resolve<CreateInterfaceExportFn>(CREATEINTERFACE_EXPORT_NAME);
        int nCode = -1;
        QCOMPARE(pCreate("Corvid_SubTool_001_Other", &nCode), nullptr);
        QCOMPARE(nCode, 1);
        QCOMPARE(pCreate(nullptr, &nCode), nullptr);
        QCOMPARE(pCreate("", nullptr), nullptr);
        void *pObject = pCreate("Corvid_SubTool_001_GPUProfilerTool", &nCode);
        QVERIFY(pObject);
        QCOMPARE(nCode, 0);
        QCOMPARE(pCreate("Corvid_SubTool_001_GPUProfilerTool", nullptr), pObject); // the one object

        // The primary table is the app system's.
        auto *pApp = static_cast<IAppSystem *>(pObject);
        QVERIFY(pApp->Connect(pCreate));
        QCOMPARE(pApp->Init(), INIT_OK);
        QCOMPARE(pApp->GetTier(), APP_SYSTEM_TIER3);
        QCOMPARE(pApp->QueryInterface("anything"), nullptr);
        QVERIFY(pApp->IsSingleton());
        QCOMPARE(pApp->GetBuildType(), BUILD_TYPE_RELEASE);

        // The subtool table is the object's second base.
        ICorvidSubTool *pTool = static_cast<IExternalSubTool *>(pApp);
        CFakeCorvidHost host;
        QAction action(QStringLiteral("GPU Profiler"));
        CFakeCorvidConnection connection("Demo Target");
        host.current = &connection;
        pTool->SetHost(&host, &action);
        pTool->OnHostReady();
        QCOMPARE(pTool->GetDockableWidget(), nullptr);
        QVERIFY(pTool->WantsToolbarButton());
        QVERIFY(!pTool->WantsAutoShow());

        pTool->RegisterDataTypes(&connection);
        QCOMPARE(connection.registrations.size(), 5);
        ICorvidDataReceived *pReceiver = connection.registrations[0].pReceiver;
        QVERIFY(pReceiver);
        QVERIFY(static_cast<void *>(pReceiver) != pObject); // a table of its own

        connection.state = CORVID_CONNECTION_CONNECTING;
        pTool->UpdateToolAction(&connection);
        QVERIFY(!action.isEnabled());
        pTool->OnConnectionStateChanged(&connection, CORVID_CONNECTION_READY);
        QVERIFY(action.isEnabled());
        connection.state = CORVID_CONNECTION_READY;

        // A window opens for the target, chunks go through the third table, and when the
        // connection closes every buffer and the window's storage are back in the shared
        // allocator, which the test and the module reach through the same bedrock library.
        AllocationSnapshot before;
        QVERIFY(pTool->ShowForCurrentConnection());
        QCOMPARE(connection.Commands(), (QList<QPair<uint32, uint64>>{{1, 1}, {0, 1}}));
        QVERIFY(connection.Deliver(connection.registrations[0].nChunkId, QByteArray(188, 0)));
        pTool->OnConnectionClosed(&connection);
        QCOMPARE(connection.Commands().mid(2), (QList<QPair<uint32, uint64>>{{1, 0}, {0, 0}}));
        GPUPROF_COMPARE_NO_LEAKS(before);

        pTool->OnHostClosing();
        pApp->Shutdown();
        pApp->Disconnect();
        host.current = nullptr;
        QVERIFY(!pTool->ShowForCurrentConnection());
    }
};

GPUPROF_TEST_MAIN(TestModuleLoad)
#include "tst_module_load.moc"
