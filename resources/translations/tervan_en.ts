<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>ChartView</name>
    <message>
        <source>数据采集</source>
        <translation>Data Acquisition</translation>
    </message>
    <message>
        <source>采集时间</source>
        <translation>Acquisition time</translation>
    </message>
    <message>
        <source>单位 (%1)</source>
        <translation>Unit (%1)</translation>
    </message>
</context>
</TS>
