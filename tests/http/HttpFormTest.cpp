#include <gtest/gtest.h>

#include "http/HttpEncoding.h"
#include "http/HttpForm.h"
#include "http/HttpHeader.h"
#include "http/HttpStreamField.h"
#include "platform/kernel/Strings.h"

using pictavo::platform::toLocalCodePage;

namespace {

const std::string kDash = "-----------------------------7da1d41060a1a";

class HttpFormTest : public testing::Test
{
protected:
    void SetUp() override { pictavo::platform::setLocalCodePageForTesting("CP936"); }
    void TearDown() override { pictavo::platform::setLocalCodePageForTesting(""); }

    // The body exactly as the poster writes it: head, file bytes, CRLF, tail.
    static std::string Body(HttpForm& form, const std::string& file)
    {
        return toLocalCodePage(form.RenderHead()) + file + "\r\n" + toLocalCodePage(form.RenderTail());
    }
};

TEST_F(HttpFormTest, WorkedExampleByteForByte)
{
    HttpForm form;
    form.AddTextField(u"width", u"800");
    form.AddStreamField(3, u"photo 1.jpg", u"img");
    const std::string body = Body(form, "\xFF\xD8\xFF");
    const std::string expected =
        kDash + "\r\nContent-Disposition: form-data; name=\"width\"\r\n\r\nODAw\r\n" + kDash +
        "\r\nContent-Disposition: form-data; name=\"img\"; filename=\"photo+1%2Ejpg\"\r\n"
        "Content-Type: image/pjpeg\r\nContent-Transfer-Encoding: binary\r\n\r\n"
        "\xFF\xD8\xFF\r\n" +
        kDash + "--\r\n";
    EXPECT_EQ(body, expected);
    EXPECT_EQ(body.size(), 327u);
    EXPECT_EQ(form.GetTotalLength(), 327);
    EXPECT_EQ(form.GetField(0)->GetLength(), 98);
    EXPECT_EQ(form.GetField(1)->GetLength(), 178 + 3 + 2);
}

TEST_F(HttpFormTest, Gb2312AndOtherEncodings)
{
    HttpForm form;
    form.SetEncoding(u"gb2312");
    form.AddTextField(u"width", u"800");
    form.AddTextField(u"remark", u"中文");
    form.AddStreamField(0, u"照片 1.jpg", u"img");
    const std::string body = Body(form, "");
    EXPECT_NE(body.find("\r\n\r\n800\r\n"), std::string::npos);
    // The GBK bytes of the value, base64: D6 D0 CE C4.
    EXPECT_NE(body.find("\r\n\r\n1tDOxA==\r\n"), std::string::npos);
    EXPECT_NE(body.find("filename=\"" + toLocalCodePage(u"照片 1.jpg") + "\"\r\n"), std::string::npos);
    EXPECT_EQ(form.GetTotalLength(), static_cast<int>(body.size()));

    form.SetEncoding(u"latin1");
    const std::string other = Body(form, "");
    EXPECT_NE(other.find("\r\n\r\n800\r\n"), std::string::npos);
    EXPECT_NE(other.find("filename=\"\"\r\n"), std::string::npos);
    EXPECT_EQ(form.GetTotalLength(), static_cast<int>(other.size()));

    form.SetEncoding(u"utf-8");
    EXPECT_NE(Body(form, "").find("\r\n\r\nODAw\r\n"), std::string::npos);
}

TEST_F(HttpFormTest, LengthsMatchBytesForAwkwardNamesAndValues)
{
    for (const char16_t* encoding : {u"UTF-8", u"GB2312", u"x"}) {
        HttpForm form;
        form.SetEncoding(encoding);
        form.AddTextField(u"名字", u"");
        form.AddTextField(u"emoji", u"\U0001F600 and é");
        form.AddTextField(u"lone", std::u16string(1, u'\xD800'));
        form.AddNumberField(u"n", 4294967295u);
        form.AddStreamField(5, u"a\"b\r\nContent-Type: x\U0001F600.PNG", u"文件");
        const std::string body = Body(form, "12345");
        EXPECT_EQ(form.GetTotalLength(), static_cast<int>(body.size())) << toLocalCodePage(encoding);
        EXPECT_NE(body.find("\r\n\r\n\r\n" + kDash), std::string::npos); // empty value
        // The file name never starts a header line of its own.
        EXPECT_EQ(body.find("\r\nContent-Type: x"), std::string::npos);
        EXPECT_NE(body.find("Content-Type: image/x-png\r\n"), std::string::npos);
    }
    HttpForm form;
    form.SetEncoding(u"GB2312");
    form.AddNumberField(u"zero", 0);
    form.AddNumberField(u"big", 4294967295u);
    form.AddStreamField(0, u"a\"b.jpg", u"img");
    const std::string body = Body(form, "");
    EXPECT_NE(body.find("\r\n\r\n0\r\n"), std::string::npos);
    EXPECT_NE(body.find("\r\n\r\n4294967295\r\n"), std::string::npos);
    EXPECT_NE(body.find("filename=\"a%22b.jpg\""), std::string::npos);
}

TEST_F(HttpFormTest, FileOnlyForm)
{
    HttpForm form;
    form.AddStreamField(10, u"noext", u"img");
    const std::u16string head = form.RenderHead();
    EXPECT_EQ(head.find(u"Content-Type"), std::u16string::npos);
    EXPECT_NE(head.find(u"name=\"img\""), std::u16string::npos);
    EXPECT_EQ(form.GetTotalLength(), static_cast<int>(head.size()) + 10 + 2 + 46);
    form.RemoveAllFields();
    EXPECT_EQ(form.GetFieldCount(), 0u);
    EXPECT_EQ(form.GetTotalLength(), 46);
}

TEST_F(HttpFormTest, ContentTypeTable)
{
    struct
    {
        const char16_t* name;
        const char16_t* line;
    } rows[] = {
        {u"a.txt", u"Content-Type: text/plain\r\n"},
        {u"a.BMP", u"Content-Type: image/bmp\r\n"},
        {u"a.gif", u"Content-Type: image/gif\r\n"},
        {u"a.JPG", u"Content-Type: image/pjpeg\r\n"},
        {u"a.tif", u"Content-Type: image/tiff\r\n"},
        {u"a.icon", u"Content-Type: image/x-icon\r\n"},
        {u"x.jpg.jpeg", u"Content-Type: application/octet-stream\r\n"},
        {u"a.ico", u"Content-Type: application/octet-stream\r\n"},
        {u"a.", u"Content-Type: application/octet-stream\r\n"},
        {u"none", u""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(HttpStreamField::ContentTypeLine(row.name), row.line);
}

TEST_F(HttpFormTest, NarrowRendering)
{
    HttpForm form;
    form.AddTextField(u"名", u"a b.");
    EXPECT_EQ(form.GetField(0)->GetNarrowText(),
              kDash + "\r\nContent-Disposition: form-data; name=\"\xE5\x90\x8D\"\r\n\r\na+b%2E\r\n");
    form.SetEncoding(u"GB2312");
    EXPECT_EQ(form.GetField(0)->GetNarrowText(),
              kDash + "\r\nContent-Disposition: form-data; name=\"%C3%FB\"\r\n\r\na+b%2E\r\n");
    EXPECT_EQ(form.GetField(0)->GetNarrowLength(),
              static_cast<int>(form.GetField(0)->GetNarrowText().size()));
}

TEST(HttpEncoding, Base64AndPercent)
{
    EXPECT_EQ(Base64Encode(""), u"");
    EXPECT_EQ(Base64Encode("f"), u"Zg==");
    EXPECT_EQ(Base64Encode("fo"), u"Zm8=");
    EXPECT_EQ(Base64Encode("foobar"), u"Zm9vYmFy");
    EXPECT_EQ(Base64Encode(std::string("\xFF\xFE\x00", 3)), u"//4A");
    EXPECT_EQ(PercentEncode(std::string("aZ09 \t\n\v\f\r.~\x00\xFF", 14)), "aZ09++++++%2E%7E%00%FF");
}

TEST(HttpHeader, SixLinesInOrder)
{
    EXPECT_EQ(
        HttpHeader().Render(),
        u"Accept: "
        u"application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5\r\n"
        u"Content-Type:multipart/form-data;boundary=---------------------------7da1d41060a1a\r\n"
        u"Accept-Language: zh-cn\r\n"
        u"User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n"
        u"Cache-Control: no-cache\r\n"
        u"Connection: Keep-Alive\r\n");
}

} // namespace
