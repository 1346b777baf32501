<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="zh_CN">
<context>
    <name>AboutUs</name>
    <message>
        <source>关于软件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;h3&gt;ARQ-310MX&lt;/h3&gt;&lt;p&gt;版本 %1&lt;/p&gt;&lt;p&gt;温度与电学测量链的采集、校准与报告软件。&lt;/p&gt;&lt;p&gt;开源软件，按 GNU 通用公共许可证第 3 版（GPL-3.0）发布，不提供任何担保。&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Message</name>
    <message>
        <source>联系我们</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;h3&gt;ARQ-310MX 开发者社区&lt;/h3&gt;&lt;p&gt;问题报告与功能建议请提交到项目的问题跟踪系统。&lt;/p&gt;&lt;p&gt;提交问题时请附上工作目录中当天的日志文件（log_日期.log）。&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QWaiting</name>
    <message>
        <source>参数设置中，请稍等...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SystemSet</name>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自动备份</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份周期：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>天</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份路径：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选择</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>恢复</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>系统参数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>语言：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据精度：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份周期不能为0！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份路径不存在！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选择目录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请选择备份路径！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份失败：路径不存在！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份成功！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份失败！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>恢复失败！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>恢复成功！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置成功！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置失败！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Tervan</name>
    <message>
        <source>打开数据库失败！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>系统设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道参数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>查看警告信息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据验证</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>验证报告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道校准</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备管理</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据采集</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报告管理</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通知管理</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帮助</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集报告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>查看通知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下载通知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除通知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>高级设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>帮助文档</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>联系我们</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关于软件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ARQ-310MX %1 · 开源软件 · GPL-3.0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在校准中！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备操作进行中，请稍候！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请先选择需要下载的通知!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请先选择需要删除的通知!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请先选择需要设置的通知!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出程序</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确认退出程序</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
