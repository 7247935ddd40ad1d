#pragma once

#include "app/appdelegate.h"
#include "settings/settingsstore.h"
#include "support/fakedesktop.h"
#include "support/testbundle.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kd::test {

// An AppDelegate on a throwaway bundle and settings file, with the scripted desktop.
class DelegateFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bundle.isValid());
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
        start();
    }
    void TearDown() override {
        app.reset();
        store.reset();
    }

    QString settingsPath() const { return home.path() + QStringLiteral("/settings.conf"); }

    void start() {
        store = std::make_unique<SettingsStore>(settingsPath());
        app = std::make_unique<AppDelegate>(desktop, *store, bundle.resources());
    }
    // A new launcher on the same files, as after quitting and starting again.
    void restart() {
        app.reset();
        store.reset();
        desktop.clear();
        start();
    }

    QTemporaryDir home;
    TestBundle bundle;
    FakeDesktop desktop;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<AppDelegate> app;
};

} // namespace kd::test
