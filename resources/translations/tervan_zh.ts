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
    <name>AcquisitionDevice</name>
    <message>
        <source>采集设备设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备型号：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通讯方式：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集速率：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>序列号：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>扫描间隔：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>秒</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配置文件：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>测试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP地址：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>端口号：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>序号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接状态</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备型号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>序列号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>扫描间隔</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集速率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配置文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通讯类型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接信息错误！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道数不匹配！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请先输入序列号！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请先选择配置文件！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>当前选择的配置文件最小采集间隔为：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据保存成功！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据保存失败！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请先选择需要删除的文件！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>是否删除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除数据失败！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备测试成功！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备连接失败！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>获取序列号失败！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>同步设备时间失败！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道设置失败,请退出重试!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>获取通道数据失败,请退出重试!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集间隔,请退出重试!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AlarmMailer</name>
    <message>
        <source>采集器报警</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChannelConfig</name>
    <message>
        <source>通道配置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道个数：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集设备型号：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模块配置：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新建文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>序号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道编号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道标签</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道类型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道功能</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接线线制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单位</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下限警告启用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下限警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上限警告启用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上限警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请先选择需要删除的文件!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>是否删除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除文件失败!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请先选择需要导出的文件!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出文件失败!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChannelConfigAdd</name>
    <message>
        <source>添加配置文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道配置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集设备型号：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道个数：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>序号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道编号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道标签</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道类型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道功能</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接线线制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单位</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下限警告启用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下限警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上限警告启用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上限警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全选</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>批量设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>参数导入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新建文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消全选</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道标签不许使用逗号!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请输入有效的数值！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请先选择通道！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>读取文件失败!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>参数文件中有无效数值!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道编号不能重复！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道编号需要递增！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加数据失败！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加成功！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChannelConfigBatch</name>
    <message>
        <source>批量设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道类型：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道功能：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接线线制：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单位：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下限警告启用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下限警告：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上限警告启用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上限警告：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请输入有效的数值！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChannelConfigNew</name>
    <message>
        <source>新建配置文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>基础信息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件名称：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集设备型号：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道个数：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模块配置：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>补偿设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>补偿方式：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>冷端温度：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下一步</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请先输入文件名称!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件名称不许使用逗号!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据库连接失败!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道名称已存在!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道数不能为0!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模块配置不能为空!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>超过最大通道数!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChannelConfigOpen</name>
    <message>
        <source>打开配置文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>双击一行打开该配置文件。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>时间</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChannelRules</name>
    <message>
        <source>通道未设置！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>类型错误！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接线线制错误！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单位错误！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已被占用！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不能被设置为</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单位不许超过2个！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不能同时设置两个温度单位！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChartView</name>
    <message>
        <source>数据采集</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单位 (%1)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Collection1586A</name>
    <message>
        <source>量程错误！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Collection3107A</name>
    <message>
        <source>通道未设置！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>四线制下通道编号超限！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单位不许超过1个！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Collection3108A</name>
    <message>
        <source>功能错误！</source>
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
    <name>OnlineSession</name>
    <message>
        <source>继续</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备连接失败,请退出重试！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道设置失败,请退出重试!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>写通道数据失败!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>获取通道数据失败!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通讯异常，请设备关机重试！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始等待中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集结束。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据库写入失败，数据暂存内存并重试！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据库文件已被删除，数据无法保存！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提前终止采集。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ParametersChannel</name>
    <message>
        <source>通道配置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通道</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下一步</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目%1:未选择通道！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目%1:通道单位最多为两类！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ParametersChart</name>
    <message>
        <source>实时数据</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>趋势图</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集时间</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ParametersMode</name>
    <message>
        <source>采集参数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集方式：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目个数：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集器个数：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目信息1：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目信息2：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目信息3：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目名称：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集器1：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集器2：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集器3：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集开始时间：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集结束时间：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下一步</source>
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
        <source>项目信息未设置！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目名称相同！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据库连接失败！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目名称已存在！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始采集时间大于结束采集时间！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未选择采集设备！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集设备不能相同！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>所选采集设备不支持脱机采集！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集设备%1的通道配置“%2”不存在，请重新设置该设备！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集设备参数将以第一台设备为准！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ParametersOnLine</name>
    <message>
        <source>数据采集</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>消息：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在连接设备...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目%1结果</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>项目%1统计</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>是否保存采集数据？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>是否终止项目？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>终止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>继续</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在采集中，请先结束！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ParametersStatistics</name>
    <message>
        <source>统计</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大值</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大值通道</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最小值</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最小值通道</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>平均值</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大-最小</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大-平均</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>平均-最小</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>标准差</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集时间</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ParametersTemp</name>
    <message>
        <source>通道确认</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数据</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确定</source>
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
<context>
    <name>ViewLog</name>
    <message>
        <source>警告信息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>操作时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>操作类型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>操作说明</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>起始日期：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>结束日期：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>操作类型：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>查询</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>详细信息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确认删除通知？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存成功！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存失败！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ViewLogSet</name>
    <message>
        <source>通知设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>邮箱1：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>邮箱2：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>邮箱3：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>触发间隔：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>触发发送</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>发送</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输入的邮件地址不合法！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>当前无报警信息！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>采集器报警</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>邮件发送中，请稍等...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>邮件发送成功！</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>当前无网络，邮件发送失败！</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
