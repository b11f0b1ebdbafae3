#include <gtest/gtest.h>

#include "autostart/TaskRules.h"
#include "autostart/TaskXml.h"

namespace {

const std::wstring kTask =
    L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
    L"<!-- made by hand -->\r\n"
    L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
    L"  <RegistrationInfo><Description>Says &lt;hi&gt; &amp; &#x4F60;&#22909;</Description>"
    L"</RegistrationInfo>\r\n"
    L"  <Triggers>\r\n"
    L"    <BootTrigger><Enabled>false</Enabled></BootTrigger>\r\n"
    L"    <TimeTrigger><Repetition><Interval>PT1H</Interval></Repetition></TimeTrigger>\r\n"
    L"    <SessionStateChangeTrigger><StateChange>SessionUnlock</StateChange>"
    L"</SessionStateChangeTrigger>\r\n"
    L"  </Triggers>\r\n"
    L"  <Settings>\r\n    <Hidden>true</Hidden>\r\n    <Enabled>false</Enabled>\r\n  </Settings>\r\n"
    L"  <Actions Context='Author'>\r\n"
    L"    <Exec><Command>C:\\Program Files\\a.exe</Command>"
    L"<Arguments><![CDATA[-x \"<y>\"]]></Arguments></Exec>\r\n"
    L"    <ComHandler><ClassId> {AB} </ClassId></ComHandler>\r\n"
    L"  </Actions>\r\n"
    L"</Task>\r\n";

TaskTrigger Trigger(TaskTriggerKind kind, uint32_t every = 1, uint64_t repeat = 0) { return {kind, every, repeat}; }

}  // namespace

TEST(TaskXml, ReadsElementsAttributesTextAndWhereEachLies) {
    const std::wstring source =
        L"\xFEFF<?xml version='1.0'?><a:root x = \"1 &quot;2&quot;\" y='&apos;'>t<!--c-->"
        L"<b/>u<c>v&#65;&#x10000;</c></a:root>";
    const std::optional<XmlElement> root = ParseXml(source);
    ASSERT_TRUE(root);
    EXPECT_EQ(L"a:root", root->name);
    EXPECT_EQ(L"root", root->localName);
    ASSERT_EQ(2u, root->attributes.size());
    EXPECT_EQ(L"1 \"2\"", root->attributes[0].second);
    EXPECT_EQ(L"y", root->attributes[1].first);
    EXPECT_EQ(L"'", root->attributes[1].second);
    EXPECT_EQ(L"tu", root->text);
    ASSERT_EQ(2u, root->children.size());
    EXPECT_TRUE(root->children[0].selfClosing);
    std::wstring expected = L"vA";
    AppendCodePoint(expected, 0x10000);
    EXPECT_EQ(expected, root->Child(L"c")->text);
    EXPECT_EQ(nullptr, root->Child(L"d"));
    const XmlElement& c = root->children[1];
    EXPECT_EQ(L"<c>", source.substr(c.begin, 3));
    EXPECT_EQ(L"v&#65;&#x10000;", source.substr(c.contentBegin, c.contentEnd - c.contentBegin));
    EXPECT_EQ(L"</c>", source.substr(c.end - 4, 4));
    EXPECT_EQ(source.size(), root->end);
}

TEST(TaskXml, RefusesWhatIsNotWellFormedOrPassesItsLimits) {
    for (const wchar_t* bad : {L"",
                               L"text",
                               L"<a>",
                               L"<a></b>",
                               L"<a/><b/>",
                               L"<a x=1/>",
                               L"<a x='1'y='2'/>",
                               L"<a x='<'/>",
                               L"<a>&bogus;</a>",
                               L"<a>&#0;</a>",
                               L"<a>&#xD800;</a>",
                               L"<a>&#x110000;</a>",
                               L"<a>&#;</a>",
                               L"<a>&#xG;</a>",
                               L"<a>& </a>",
                               L"<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>",
                               L"<a><!DOCTYPE b></a>",
                               L"<a><!-- </a>",
                               L"<a><![CDATA[x</a>",
                               L"<a><?pi</a>",
                               L"<?xml",
                               L"<a x='1></a>",
                               L"<a></a  x>",
                               L"< a/>",
                               L"<a/>trailing",
                               L"<a x='1' x/>",
                               L"<a x='&bogus;'/>",
                               L"<a>&#xDFFF;</a>",
                               L"<a><b><!x></b></a>"}) {
        EXPECT_FALSE(ParseXml(bad)) << std::string(bad, bad + std::wcslen(bad));
    }
    EXPECT_TRUE(ParseXml(L"<a></a >"));
    EXPECT_TRUE(ParseXml(L"<a>&#x10FFFF;&#xE000;</a>")) << "the last code points";
    EXPECT_EQ(std::wstring(L"\u00A9\u00AF"), ParseXml(L"<!----><a>&#xA9;&#xaf;</a>")->text);
    EXPECT_TRUE(ParseXml(L"<a>" + std::wstring(kMaxXmlChars - 7, L'x') + L"</a>")) << "as long as allowed";
    std::wstring deep;
    for (size_t depth = 0; depth < kMaxXmlDepth; ++depth) deep = L"<e>" + deep + L"</e>";
    EXPECT_TRUE(ParseXml(deep));
    EXPECT_FALSE(ParseXml(L"<e>" + deep + L"</e>"));
    std::wstring many = L"<a>";
    for (size_t count = 1; count < kMaxXmlElements; ++count) many += L"<b/>";
    EXPECT_TRUE(ParseXml(many + L"</a>")) << "as many elements as allowed";
    EXPECT_FALSE(ParseXml(many + L"<b/></a>"));
    EXPECT_FALSE(ParseXml(L"<a>" + std::wstring(kMaxXmlChars, L'x') + L"</a>"));
}

TEST(TaskXml, DecodesAndEncodesTheFilesEncodings) {
    std::wstring text = L"<a>你</a>";
    AppendCodePoint(text, 0x1F600);
    for (const XmlEncoding encoding :
         {XmlEncoding::Utf8, XmlEncoding::Utf8WithMark, XmlEncoding::Utf16Little, XmlEncoding::Utf16Big}) {
        const std::vector<uint8_t> bytes = EncodeXml(text, encoding);
        EXPECT_EQ(encoding, EncodingOf(bytes));
        EXPECT_EQ(text, DecodeXmlBytes(bytes));
    }
    EXPECT_EQ((std::vector<uint8_t>{0xFF, 0xFE, '<', 0, 0x60, 0x4F}), EncodeXml(L"<你", XmlEncoding::Utf16Little));
    EXPECT_EQ((std::vector<uint8_t>{0xFE, 0xFF, 0, '<', 0x4F, 0x60}), EncodeXml(L"<你", XmlEncoding::Utf16Big));
    EXPECT_EQ((std::vector<uint8_t>{0xEF, 0xBB, 0xBF, 0xE4, 0xBD, 0xA0}), EncodeXml(L"你", XmlEncoding::Utf8WithMark));
    EXPECT_EQ((std::vector<uint8_t>{0xC3, 0xA9}), EncodeXml(L"\u00E9", XmlEncoding::Utf8));
    std::wstring smile;
    AppendCodePoint(smile, 0x1F600);
    EXPECT_EQ((std::vector<uint8_t>{0xF0, 0x9F, 0x98, 0x80}), EncodeXml(smile, XmlEncoding::Utf8));
    EXPECT_EQ((std::vector<uint8_t>{0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}), EncodeXml(smile, XmlEncoding::Utf16Little));
    // The edges of each UTF-8 length: a definition written back keeps every character.
    std::wstring edges = L"\u007F\u0080\u07FF\u0800\uFFFD";
    AppendCodePoint(edges, 0x10000);
    EXPECT_EQ((std::vector<uint8_t>{0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBD, 0xF0, 0x90, 0x80,
                                    0x80}),
              EncodeXml(edges, XmlEncoding::Utf8));
    // Broken sequences read as U+FFFD, each once; an odd UTF-16 file is none.
    EXPECT_EQ(std::wstring(L"a\uFFFDb"), DecodeXmlBytes({'a', 0xC3, 'b'}));
    EXPECT_EQ(std::wstring(L"\uFFFDx"), DecodeXmlBytes({0xC0, 0xAF, 'x'})) << "an overlong form";
    EXPECT_EQ(std::wstring(L"\uFFFD\uFFFD"), DecodeXmlBytes({0xF8, 0x80}));
    EXPECT_EQ(std::wstring(L"\uFFFD"), DecodeXmlBytes({0xF4, 0x90, 0x80, 0x80})) << "past Unicode";
    EXPECT_EQ(std::wstring(L"\uFFFD"), DecodeXmlBytes({0xED, 0xA0, 0x80})) << "a surrogate";
    EXPECT_EQ(std::wstring(L"\uFFFDz"), DecodeXmlBytes({0xFF, 0xFE, 0x00, 0xD8, 'z', 0}));
    EXPECT_FALSE(DecodeXmlBytes({0xFF, 0xFE, 'a'}));
    EXPECT_EQ(std::wstring(), DecodeXmlBytes({0xFF, 0xFE})) << "a mark alone is an empty UTF-16 file";
    std::wstring first;
    AppendCodePoint(first, 0x10000);
    EXPECT_EQ(sizeof(wchar_t) == 2 ? 2u : 1u, first.size());
    EXPECT_EQ(first + L"\uE000", DecodeXmlBytes({0xFF, 0xFE, 0x00, 0xD8, 0x00, 0xDC, 0x00, 0xE0}));
    std::wstring last;
    AppendCodePoint(last, 0x10FFFF);
    EXPECT_EQ(last, DecodeXmlBytes({0xF4, 0x8F, 0xBF, 0xBF})) << "the last code point";
    EXPECT_EQ(smile + L"z", DecodeXmlBytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE, 'z', 0})) << "a pair first";
    EXPECT_EQ(std::wstring(L"z\uFFFD"), DecodeXmlBytes({0xFF, 0xFE, 'z', 0, 0x3D, 0xD8})) << "a lead last";
    EXPECT_EQ(XmlEncoding::Utf8, EncodingOf({'a', 'b', 0xBF}));
    EXPECT_EQ(XmlEncoding::Utf8, EncodingOf({0xEF, 0xBB, 'c'}));
    EXPECT_EQ(std::wstring(L"ab"), DecodeXmlBytes({0xEF, 0xBB, 0xBF, 'a', 'b'}));
}

TEST(TaskRules, ReadsWhatATaskDefinitionSays) {
    const std::optional<TaskDefinition> task = ReadTaskDefinition(kTask);
    ASSERT_TRUE(task);
    EXPECT_EQ(L"Says <hi> & 你好", task->description);
    EXPECT_FALSE(task->enabled);
    ASSERT_EQ(2u, task->triggers.size()) << "the disabled boot trigger left out";
    EXPECT_EQ(TaskTriggerKind::Once, task->triggers[0].kind);
    EXPECT_EQ(3600u, task->triggers[0].repeatSeconds);
    EXPECT_EQ(TaskTriggerKind::SessionUnlock, task->triggers[1].kind);
    ASSERT_EQ(2u, task->actions.size());
    EXPECT_EQ(TaskActionKind::Exec, task->actions[0].kind);
    EXPECT_EQ(L"C:\\Program Files\\a.exe", task->actions[0].command);
    EXPECT_EQ(L"-x \"<y>\"", task->actions[0].arguments);
    EXPECT_EQ(L"\"C:\\Program Files\\a.exe\" -x \"<y>\"", TaskActionCommand(task->actions[0]));
    EXPECT_EQ(TaskActionKind::ComHandler, task->actions[1].kind);
    EXPECT_EQ(L"{AB}", task->actions[1].classId);

    EXPECT_TRUE(ReadTaskDefinition(L"<Task/>")->enabled) << "enabled unless it says otherwise";
    EXPECT_TRUE(
        ReadTaskDefinition(L"<t:Task xmlns:t='x'><t:Settings><t:Enabled>1</t:Enabled></t:Settings></t:Task>")->enabled);
    EXPECT_FALSE(ReadTaskDefinition(L"<Task><Settings><Enabled>0</Enabled></Settings></Task>")->enabled);
    EXPECT_FALSE(ReadTaskDefinition(L"<NotATask/>"));
    EXPECT_FALSE(ReadTaskDefinition(L"<Task>"));
    EXPECT_EQ(L"a.exe", TaskActionCommand({TaskActionKind::Exec, L"a.exe", L"", L"", L""}));
    EXPECT_EQ(L"\"C:\\A B\\a.exe\" x",
              TaskActionCommand({TaskActionKind::Exec, L"\"C:\\A B\\a.exe\"", L"x", L"", L""}));
}

TEST(TaskRules, TriggersInShort) {
    const std::optional<TaskDefinition> calendar = ReadTaskDefinition(
        L"<Task><Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger>"
        L"<CalendarTrigger><ScheduleByDay><DaysInterval>3</DaysInterval></ScheduleByDay></CalendarTrigger>"
        L"<CalendarTrigger><ScheduleByWeek><WeeksInterval>1</WeeksInterval></ScheduleByWeek></CalendarTrigger>"
        L"<CalendarTrigger><ScheduleByWeek><WeeksInterval>2</WeeksInterval></ScheduleByWeek></CalendarTrigger>"
        L"<CalendarTrigger><ScheduleByMonthDayOfWeek/></CalendarTrigger><CalendarTrigger><ScheduleByMonth/>"
        L"</CalendarTrigger><CalendarTrigger><ScheduleByDay><DaysInterval>x</DaysInterval></ScheduleByDay>"
        L"<Repetition><Interval>PT5M</Interval></Repetition></CalendarTrigger><IdleTrigger/><EventTrigger/>"
        L"<RegistrationTrigger/><SessionStateChangeTrigger><StateChange>SessionLock</StateChange>"
        L"</SessionStateChangeTrigger><SessionStateChangeTrigger><StateChange>RemoteConnect</StateChange>"
        L"</SessionStateChangeTrigger><WnfStateChangeTrigger/><CalendarTrigger/></Triggers></Task>");
    ASSERT_TRUE(calendar);
    EXPECT_EQ((std::vector<std::string>{"登录时", "每 3 天", "每周", "每 2 周", "每月", "每天", "每 5 分钟", "空闲时",
                                        "事件发生时", "创建或修改时", "锁定时", "会话更改时", "其他触发器"}),
              TriggerTexts(calendar->triggers));
    EXPECT_EQ((std::vector<std::string>{"启动时", "每 90 秒", "每 2 小时", "一次", "每 1 分钟"}),
              TriggerTexts({Trigger(TaskTriggerKind::Boot, 1, 90), Trigger(TaskTriggerKind::Boot, 1, 7200),
                            Trigger(TaskTriggerKind::Once, 1, 60)}));
    EXPECT_EQ(1u, ReadTaskDefinition(L"<Task><Triggers><CalendarTrigger><ScheduleByDay><DaysInterval>9999999999"
                                     L"</DaysInterval></ScheduleByDay></CalendarTrigger></Triggers></Task>")
                      ->triggers.at(0)
                      .every)
        << "a count past nine digits is none";
    EXPECT_EQ("已启用", TaskStatusText({}, {}));
    EXPECT_EQ("可疑、已禁用、登录时、每 15 分钟",
              TaskStatusText({false, false, true, true}, {Trigger(TaskTriggerKind::Logon, 1, 900)}));
}

TEST(TaskRules, DurationsOfTheSchema) {
    EXPECT_EQ(300u, DurationSeconds(L"PT5M"));
    EXPECT_EQ(93784u, DurationSeconds(L"P1DT2H3M4S"));
    EXPECT_EQ(1209600u, DurationSeconds(L"P2W"));
    EXPECT_EQ(30u, DurationSeconds(L"PT30S"));
    EXPECT_EQ(uint64_t{999999999} * 86400, DurationSeconds(L"P999999999D"));
    for (const wchar_t* bad : {L"", L"P", L"PT", L"5M", L"PT5", L"P5M", L"PT5D", L"P1Y", L"PTM", L"PT1M2", L"P1DT",
                               L"PT1234567890S", L"PT5X", L"PT1HT2M", L"P1D2"}) {
        EXPECT_FALSE(DurationSeconds(bad)) << std::string(bad, bad + std::wcslen(bad));
    }
}

TEST(TaskRules, DescriptionsAreCutToTheirFirstLine) {
    EXPECT_EQ(L"short", CutDescription(L"  short  "));
    EXPECT_EQ(L"first…", CutDescription(L"first\r\nsecond"));
    EXPECT_EQ(L"abc…", CutDescription(L"abcdef", 3));
    EXPECT_EQ(L"abc", CutDescription(L"abc", 3));
    EXPECT_EQ(L"", CutDescription(L""));
    std::wstring wide = L"a";
    AppendCodePoint(wide, 0x1F600);
    AppendCodePoint(wide, 0x1F600);
    std::wstring cut = L"a";
    AppendCodePoint(cut, 0x1F600);
    EXPECT_EQ(cut + L"…", CutDescription(wide, 2)) << "a character outside the BMP is never parted";
    EXPECT_EQ(wide, CutDescription(wide, 3));
    // Pairs of UTF-16 units, as the system's wide text holds them.
    const std::wstring pairs{L'a', wchar_t(0xD83D), wchar_t(0xDE00), wchar_t(0xD83D), wchar_t(0xDE00)};
    EXPECT_EQ(pairs.substr(0, 3) + L"…", CutDescription(pairs, 2));
    EXPECT_EQ(pairs, CutDescription(pairs, 3));
    const std::wstring highest{wchar_t(0xDBFF), wchar_t(0xDFFF), wchar_t(0xDBFF), wchar_t(0xDFFF)};
    EXPECT_EQ(highest.substr(0, 2) + L"…", CutDescription(highest, 1));
    const std::wstring lows{wchar_t(0xDE00), wchar_t(0xDE00), wchar_t(0xDE00)};
    EXPECT_EQ(lows.substr(0, 2) + L"…", CutDescription(lows, 2)) << "lone low halves count each";
    EXPECT_EQ(60u + 1, CutDescription(std::wstring(100, L'x')).size());
}

TEST(TaskRules, EnabledIsChangedAndEverythingElseKept) {
    const std::wstring disabled = *TaskXmlWithEnabled(kTask, true);
    std::wstring expected = kTask;
    expected.replace(expected.find(L"<Enabled>false</Enabled>\r\n  </Settings>"), 24, L"<Enabled>true</Enabled>");
    EXPECT_EQ(expected, disabled) << "the trigger's own Enabled stays";
    EXPECT_EQ(kTask, TaskXmlWithEnabled(disabled, false));

    EXPECT_EQ(L"<Task><Settings><Enabled>false</Enabled><Hidden>true</Hidden></Settings></Task>",
              TaskXmlWithEnabled(L"<Task><Settings><Hidden>true</Hidden></Settings></Task>", false));
    EXPECT_EQ(L"<Task><Settings><Enabled>true</Enabled></Settings></Task>",
              TaskXmlWithEnabled(L"<Task><Settings/></Task>", true));
    EXPECT_EQ(L"<Task><Settings><Enabled>false</Enabled></Settings></Task>",
              TaskXmlWithEnabled(L"<Task><Settings><Enabled/></Settings></Task>", false));
    EXPECT_EQ(L"<t:Task><Actions/><t:Settings><t:Enabled>false</t:Enabled></t:Settings></t:Task>",
              TaskXmlWithEnabled(L"<t:Task><Actions/></t:Task>", false));
    EXPECT_FALSE(TaskXmlWithEnabled(L"<Task/>", false));
    EXPECT_FALSE(TaskXmlWithEnabled(L"<Other></Other>", false));
    EXPECT_FALSE(TaskXmlWithEnabled(L"<Task>", false));
    for (const bool enabled : {false, true}) {
        EXPECT_EQ(enabled, ReadTaskDefinition(*TaskXmlWithEnabled(kTask, enabled))->enabled);
    }
}

TEST(TaskRules, WhereTasksAreReadAndTheSchedulersAnswers) {
    EXPECT_EQ(TaskSource::Scheduler, ChooseTaskSource(kErrorSuccess));
    EXPECT_EQ(TaskSource::DefinitionFiles, ChooseTaskSource(kTaskListingNotImplemented));
    EXPECT_EQ(TaskSource::None, ChooseTaskSource(kErrorAccessDenied));
    EXPECT_EQ(kTaskListingNotImplemented, TaskStatusOf(0x80004001U));
    EXPECT_EQ(kErrorSuccess, TaskStatusOf(0));
    EXPECT_EQ(kErrorAccessDenied, TaskStatusOf(0x80070005U));
    EXPECT_EQ(kErrorFileNotFound, TaskStatusOf(0x80070002U));
    EXPECT_EQ(static_cast<int32_t>(0x80041318U), TaskStatusOf(0x80041318U)) << "the scheduler's own errors stay";
    EXPECT_EQ(static_cast<int32_t>(0x00070005U), TaskStatusOf(0x00070005U)) << "a success code wraps no error";
    EXPECT_EQ(1, TaskStatusOf(1));

    EXPECT_EQ(L"C:\\Windows\\System32\\Tasks", TasksFolder(L"C:\\Windows", false));
    EXPECT_EQ(L"C:\\Windows\\Sysnative\\Tasks", TasksFolder(L"C:\\Windows\\", true));
    EXPECT_EQ(L"\\Vendor\\Updater", TaskPathOfFile(L"Vendor\\Updater"));
    EXPECT_EQ(L"\\Updater", TaskPathOfFile(L"\\Updater"));
    EXPECT_EQ((std::vector<std::wstring>{L"Software\\Classes\\CLSID\\{AB}\\InprocServer32",
                                         L"Software\\Classes\\CLSID\\{AB}\\LocalServer32"}),
              ComServerKeys(L"{AB}"));
}

TEST(TaskRules, TextsOfTheDialogAndTheLog) {
    EXPECT_EQ("（12 个计划任务需要管理员权限才能查看）", RefusedTasksText(12));
    EXPECT_EQ("工作文件夹：C:\\Work", WorkingFolderText("C:\\Work"));
    EXPECT_EQ("确定要删除计划任务 \\A\\B 吗？", TaskRemovalQuestion("\\A\\B"));
    const LocalTime time{2026, 12, 9, 8, 5, 3};
    EXPECT_EQ("2026-12-09 08:05:03  删除计划任务  \\A  <Task>    <D>a&#13;&#10;&#10;b &#10;</D> </Task>\r\n",
              TaskRemovalLogLine("\\A", "<Task>\r\n  <D>a\r\n\nb \n</D>\n</Task>", time));
    EXPECT_EQ("2026-12-09 08:05:03  删除计划任务  \\A    <T/>  \r\n", TaskRemovalLogLine("\\A", "\r\n<T/>\r\n", time));
}
