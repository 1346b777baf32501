<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>ChannelConfig</name>
    <message>
        <source>通道配置</source>
        <translation>Channel configuration</translation>
    </message>
    <message>
        <source>名称：</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>通道个数：</source>
        <translation>Channels:</translation>
    </message>
    <message>
        <source>采集设备型号：</source>
        <translation>Device model:</translation>
    </message>
    <message>
        <source>模块配置：</source>
        <translation>Modules:</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>新建文件</source>
        <translation>New</translation>
    </message>
    <message>
        <source>删除文件</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>通道编号</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>通道标签</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>通道类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>通道功能</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>接线线制</source>
        <translation>Wiring</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>下限警告启用</source>
        <translation>Low alarm on</translation>
    </message>
    <message>
        <source>下限警告</source>
        <translation>Low alarm</translation>
    </message>
    <message>
        <source>上限警告启用</source>
        <translation>High alarm on</translation>
    </message>
    <message>
        <source>上限警告</source>
        <translation>High alarm</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>请先选择需要删除的文件!</source>
        <translation>Please choose the configuration to delete first!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>是否删除</source>
        <translation>Delete </translation>
    </message>
    <message>
        <source>删除文件失败!</source>
        <translation>Deleting the configuration failed!</translation>
    </message>
    <message>
        <source>请先选择需要导出的文件!</source>
        <translation>Please choose the configuration to export first!</translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation>Save file</translation>
    </message>
    <message>
        <source>导出文件失败!</source>
        <translation>Exporting the configuration failed!</translation>
    </message>
</context>
<context>
    <name>ChannelRules</name>
    <message>
        <source>通道未设置！</source>
        <translation>No channels set!</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel </translation>
    </message>
    <message>
        <source>类型错误！</source>
        <translation>: wrong type!</translation>
    </message>
    <message>
        <source>接线线制错误！</source>
        <translation>: wrong wiring!</translation>
    </message>
    <message>
        <source>单位错误！</source>
        <translation>: wrong unit!</translation>
    </message>
    <message>
        <source>已被占用！</source>
        <translation> is already occupied!</translation>
    </message>
    <message>
        <source>不能被设置为</source>
        <translation> cannot be set to </translation>
    </message>
    <message>
        <source>单位不许超过2个！</source>
        <translation>No more than 2 units allowed!</translation>
    </message>
    <message>
        <source>不能同时设置两个温度单位！</source>
        <translation>Two temperature units cannot be used at once!</translation>
    </message>
</context>
<context>
    <name>Collection1586A</name>
    <message>
        <source>量程错误！</source>
        <translation>: wrong range!</translation>
    </message>
</context>
<context>
    <name>Collection3107A</name>
    <message>
        <source>通道未设置！</source>
        <translation>No channels set!</translation>
    </message>
    <message>
        <source>四线制下通道编号超限！</source>
        <translation>Channel number out of range for four-wire use!</translation>
    </message>
    <message>
        <source>单位不许超过1个！</source>
        <translation>No more than 1 unit allowed!</translation>
    </message>
</context>
<context>
    <name>Collection3108A</name>
    <message>
        <source>功能错误！</source>
        <translation>: wrong function!</translation>
    </message>
</context>
</TS>
