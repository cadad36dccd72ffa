#include "shell/ApplicationError.h"

#include <gtest/gtest.h>

TEST(ApplicationError, TextIsExactToTheByte) {
    const QString text =
        applicationErrorText(QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton1_Click "), 132,
                             QStringLiteral("relation \"x\" does not exist"));
    EXPECT_EQ(text.toStdString(),
              std::string("relation \"x\" does not exist\r\n"
                          "in Quenmarl2021/08/31.Form2.PushButton1_Click at line 132\r\r"
                          "Please email screenshot of this message to ") +
                  SupportEmailAddress);
}
