#include "platform/embedded_models.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(EmbeddedModels, AllThreeFilesAreLinkedWhole) {
  EXPECT_EQ(centernetGraph().size(), 201673u);
  EXPECT_EQ(centernetWeights().size(), 4030290u);
  EXPECT_EQ(textDetectorOnnx().size(), 4745517u);
  std::string head(reinterpret_cast<const char*>(centernetGraph().data()), 1);
  EXPECT_EQ(head, "{");
}

}  // namespace
