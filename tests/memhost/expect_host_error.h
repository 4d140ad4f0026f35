// EXPECT_HOST_ERROR(statement, description): the statement raises a HostError with that
// description.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/error.h"

#define EXPECT_HOST_ERROR(statement, expected)               \
  do {                                                       \
    try {                                                    \
      statement;                                             \
      ADD_FAILURE() << "no HostError from " #statement;      \
    } catch (const ::quorvane::host::HostError& error) {     \
      EXPECT_EQ(error.description(), std::string(expected)); \
    }                                                        \
  } while (false)
