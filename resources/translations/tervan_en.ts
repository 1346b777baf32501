<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>AlarmMailer</name>
    <message>
        <source>采集器报警</source>
        <translation>Logger alarm</translation>
    </message>
</context>
<context>
    <name>ViewLog</name>
    <message>
        <source>警告信息</source>
        <translation>Warning information</translation>
    </message>
    <message>
        <source>操作时间</source>
        <translation>Operation time</translation>
    </message>
    <message>
        <source>操作类型</source>
        <translation>Operation type</translation>
    </message>
    <message>
        <source>操作说明</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>起始日期：</source>
        <translation>Start date:</translation>
    </message>
    <message>
        <source>结束日期：</source>
        <translation>End date:</translation>
    </message>
    <message>
        <source>操作类型：</source>
        <translation>Operation type:</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>详细信息</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>确认删除通知？</source>
        <translation>Delete the notifications?</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>保存成功！</source>
        <translation>Saved!</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>保存失败！</source>
        <translation>Saving failed!</translation>
    </message>
</context>
<context>
    <name>ViewLogSet</name>
    <message>
        <source>通知设置</source>
        <translation>Notification settings</translation>
    </message>
    <message>
        <source>邮箱1：</source>
        <translation>Mailbox 1:</translation>
    </message>
    <message>
        <source>邮箱2：</source>
        <translation>Mailbox 2:</translation>
    </message>
    <message>
        <source>邮箱3：</source>
        <translation>Mailbox 3:</translation>
    </message>
    <message>
        <source>触发间隔：</source>
        <translation>Trigger interval:</translation>
    </message>
    <message>
        <source>触发发送</source>
        <translation>Send on trigger</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>输入的邮件地址不合法！</source>
        <translation>The e-mail address entered is invalid!</translation>
    </message>
    <message>
        <source>当前无报警信息！</source>
        <translation>There is no alarm information at present!</translation>
    </message>
    <message>
        <source>采集器报警</source>
        <translation>Logger alarm</translation>
    </message>
    <message>
        <source>邮件发送中，请稍等...</source>
        <translation>Sending mail, please wait...</translation>
    </message>
    <message>
        <source>邮件发送成功！</source>
        <translation>Mail sent!</translation>
    </message>
    <message>
        <source>当前无网络，邮件发送失败！</source>
        <translation>No network, sending the mail failed!</translation>
    </message>
</context>
</TS>
