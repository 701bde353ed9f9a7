// One application object for the whole test program, made before the first
// test and destroyed after the last (GoogleTest's main drives the run).
#pragma once

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace qvc::test {

template <typename App> class ApplicationEnvironment : public ::testing::Environment {
  public:
    explicit ApplicationEnvironment(const char* name) : name_(name) {}
    void SetUp() override { app_ = std::make_unique<App>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

  private:
    std::string name_;
    int argc_ = 1;
    char* argv_[2] = {name_.data(), nullptr};
    std::unique_ptr<App> app_;
};

// Registers the application of type App (QCoreApplication, QApplication or
// the program's own) under the program name `name`.
template <typename App>::testing::Environment* AddApplicationEnvironment(const char* name) {
    return ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<App>(name));
}

} // namespace qvc::test
