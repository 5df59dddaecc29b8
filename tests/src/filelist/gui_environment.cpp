#include <QGuiApplication>

#include "test_support.h"

static ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new morvelle::testing::AppEnvironment<QGuiApplication>);
