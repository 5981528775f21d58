#pragma once

// A shown song summary window over a test application, and a lookup of the
// controls the tests press by their object names.
#include "testapp.h"
#include "ui/summary/songsummarywindow.h"

#include <QLatin1String>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace kolvo::test {

class SummaryWindowTest : public ::testing::Test {
  protected:
    TestApp app;
    std::unique_ptr<SongSummaryWindow> summary;

    void SetUp() override {
        summary = std::make_unique<SongSummaryWindow>(app.ctx);
        summary->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(summary.get()));
    }

    template <class T> T* child(QWidget* in, const char* name) {
        auto* w = in->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    template <class T> T* child(const char* name) { return child<T>(summary.get(), name); }
};

} // namespace kolvo::test
