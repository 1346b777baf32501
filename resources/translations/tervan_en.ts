<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>AboutUs</name>
    <message>
        <source>关于软件</source>
        <translation>About</translation>
    </message>
    <message>
        <source>&lt;h3&gt;ARQ-310MX&lt;/h3&gt;&lt;p&gt;版本 %1&lt;/p&gt;&lt;p&gt;温度与电学测量链的采集、校准与报告软件。&lt;/p&gt;&lt;p&gt;开源软件，按 GNU 通用公共许可证第 3 版（GPL-3.0）发布，不提供任何担保。&lt;/p&gt;</source>
        <translation>&lt;h3&gt;ARQ-310MX&lt;/h3&gt;&lt;p&gt;Version %1&lt;/p&gt;&lt;p&gt;Acquisition, calibration and reporting for temperature and electrical measuring chains.&lt;/p&gt;&lt;p&gt;Open-source software released under the GNU General Public License version 3 (GPL-3.0), without any warranty.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>AcquisitionDevice</name>
    <message>
        <source>采集设备设置</source>
        <translation>Acquisition device settings</translation>
    </message>
    <message>
        <source>设备型号：</source>
        <translation>Device model:</translation>
    </message>
    <message>
        <source>通讯方式：</source>
        <translation>Link:</translation>
    </message>
    <message>
        <source>采集速率：</source>
        <translation>Acquisition rate:</translation>
    </message>
    <message>
        <source>序列号：</source>
        <translation>Serial number:</translation>
    </message>
    <message>
        <source>扫描间隔：</source>
        <translation>Scan interval:</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>配置文件：</source>
        <translation>Configurations:</translation>
    </message>
    <message>
        <source>测试</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Serial port:</translation>
    </message>
    <message>
        <source>IP地址：</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>端口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>连接状态</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>设备型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>扫描间隔</source>
        <translation>Scan interval</translation>
    </message>
    <message>
        <source>采集速率</source>
        <translation>Rate</translation>
    </message>
    <message>
        <source>配置文件</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>通讯类型</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>连接信息错误！</source>
        <translation>The connection information is wrong!</translation>
    </message>
    <message>
        <source>通道数不匹配！</source>
        <translation>The channel count does not match!</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>请先输入序列号！</source>
        <translation>Enter the serial number first!</translation>
    </message>
    <message>
        <source>请先选择配置文件！</source>
        <translation>Choose a configuration first!</translation>
    </message>
    <message>
        <source>当前选择的配置文件最小采集间隔为：</source>
        <translation>The shortest scan interval of the chosen configuration is: </translation>
    </message>
    <message>
        <source>数据保存成功！</source>
        <translation>Data saved!</translation>
    </message>
    <message>
        <source>数据保存失败！</source>
        <translation>Saving the data failed!</translation>
    </message>
    <message>
        <source>请先选择需要删除的文件！</source>
        <translation>Choose the device to delete first!</translation>
    </message>
    <message>
        <source>是否删除</source>
        <translation>Delete </translation>
    </message>
    <message>
        <source>删除数据失败！</source>
        <translation>Deleting the data failed!</translation>
    </message>
    <message>
        <source>设备测试成功！</source>
        <translation>Device test succeeded!</translation>
    </message>
    <message>
        <source>设备连接失败！</source>
        <translation>Device connection failed!</translation>
    </message>
    <message>
        <source>获取序列号失败！</source>
        <translation>Reading the serial number failed!</translation>
    </message>
    <message>
        <source>同步设备时间失败！</source>
        <translation>Setting the device clock failed!</translation>
    </message>
    <message>
        <source>通道设置失败,请退出重试!</source>
        <translation>Setting the channels failed, please quit and retry!</translation>
    </message>
    <message>
        <source>获取通道数据失败,请退出重试!</source>
        <translation>Reading the channel data failed, please quit and retry!</translation>
    </message>
    <message>
        <source>采集间隔,请退出重试!</source>
        <translation>Setting the scan interval failed, please quit and retry!</translation>
    </message>
</context>
<context>
    <name>AlarmMailer</name>
    <message>
        <source>采集器报警</source>
        <translation>Logger alarm</translation>
    </message>
    <message>
        <source>报警邮件发送失败：</source>
        <translation>Alarm mail not sent: </translation>
    </message>
</context>
<context>
    <name>CalibrationHistoryDialog</name>
    <message>
        <source>校准历史</source>
        <translation>Calibration history</translation>
    </message>
    <message>
        <source>通道：</source>
        <translation>Channel:</translation>
    </message>
    <message>
        <source>图表：</source>
        <translation>Chart:</translation>
    </message>
    <message>
        <source>校前误差(mK)</source>
        <translation>As found (mK)</translation>
    </message>
    <message>
        <source>最大残差(mK)</source>
        <translation>Largest residual (mK)</translation>
    </message>
    <message>
        <source>保存时间</source>
        <translation>Saved</translation>
    </message>
    <message>
        <source>校准开始</source>
        <translation>Run started</translation>
    </message>
    <message>
        <source>操作者</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>系数</source>
        <translation>Coefficients</translation>
    </message>
    <message>
        <source>恢复所选系数</source>
        <translation>Restore selected set</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>请先选择要恢复的系数！</source>
        <translation>Select the set to restore first!</translation>
    </message>
    <message>
        <source>将通道 %1 的系数恢复为 %2 保存的系数？</source>
        <translation>Restore the coefficients of channel %1 to the set saved on %2?</translation>
    </message>
    <message>
        <source>系数恢复失败，通道配置未改变！</source>
        <translation>Restoring failed; the channel configuration is unchanged!</translation>
    </message>
    <message>
        <source>出具证书...</source>
        <translation>Issue certificate...</translation>
    </message>
    <message>
        <source>请先选择一次校准！</source>
        <translation>Select a calibration first!</translation>
    </message>
    <message>
        <source>在用</source>
        <translation>In force</translation>
    </message>
    <message>
        <source>拟合+核查点</source>
        <translation>Fit + check points</translation>
    </message>
    <message>
        <source>有效范围(℃)</source>
        <translation>Range of validity (℃)</translation>
    </message>
    <message>
        <source>来源</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>恢复该次校准的全部通道</source>
        <translation>Restore every channel of that save</translation>
    </message>
    <message>
        <source>✔</source>
        <translation>✔</translation>
    </message>
    <message>
        <source>将以下%1个通道的系数恢复为 %2 保存的系数？
%3</source>
        <translation>Restore the coefficients of these %1 channels to the set saved at %2?
%3</translation>
    </message>
    <message>
        <source>通道配置在打开本窗口后已被修改，系数未恢复！请重新打开校准历史。</source>
        <translation>The channel configuration was changed after this window opened; the coefficients were not restored. Open the calibration history again.</translation>
    </message>
    <message>
        <source>通道的类型或函数已与该系数拟合时不同，系数未恢复！</source>
        <translation>The channel's type or function is no longer the one this set was fitted for; the coefficients were not restored.</translation>
    </message>
    <message>
        <source>系数已恢复，正在下发到使用该通道配置的采集设备（结果见校准记录）。</source>
        <translation>Coefficients restored; they are being sent to the loggers using this configuration (see the calibration log for the result).</translation>
    </message>
    <message>
        <source>系数已恢复；尚未下发到采集设备，请在采集设备页面测试该设备以下发。</source>
        <translation>Coefficients restored; they have not been sent to a logger yet. Test the device on the device page to send them.</translation>
    </message>
</context>
<context>
    <name>CalibrationOptionsDialog</name>
    <message>
        <source>测量设置</source>
        <translation>Measurement settings</translation>
    </message>
    <message>
        <source>每点采样次数：</source>
        <translation>Readings per point:</translation>
    </message>
    <message>
        <source>采样间隔(s)：</source>
        <translation>Interval between readings (s):</translation>
    </message>
    <message>
        <source>标准最大标准差(℃)：</source>
        <translation>Reference, largest standard deviation (℃):</translation>
    </message>
    <message>
        <source>标准最大漂移(℃/min)：</source>
        <translation>Reference, largest drift (℃/min):</translation>
    </message>
    <message>
        <source>不稳定时重采次数：</source>
        <translation>Re-sampling when unstable (times):</translation>
    </message>
    <message>
        <source>温场稳定超时(min)：</source>
        <translation>Source stability timeout (min):</translation>
    </message>
    <message>
        <source>结束后待机温度(℃)：</source>
        <translation>Standby set-point after the run (℃):</translation>
    </message>
    <message>
        <source>残差限(mK)：</source>
        <translation>Residual limit (mK):</translation>
    </message>
    <message>
        <source>不限</source>
        <translation>none</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>每点采样次数应为1～100！</source>
        <translation>Readings per point must be 1 to 100!</translation>
    </message>
    <message>
        <source>标准器过期时仅警告，由操作者确认后继续（记入操作日志）</source>
        <translation>Overdue reference: warn only, go on when the operator confirms (logged)</translation>
    </message>
    <message>
        <source>稳定窗口(min)：</source>
        <translation>Stability window (min):</translation>
    </message>
    <message>
        <source>询问操作者</source>
        <translation>Ask the operator</translation>
    </message>
    <message>
        <source>接受并记录说明</source>
        <translation>Accept with a note</translation>
    </message>
    <message>
        <source>跳过该点</source>
        <translation>Skip the point</translation>
    </message>
    <message>
        <source>停止校准</source>
        <translation>Stop the calibration</translation>
    </message>
    <message>
        <source>重采次数用完后温场仍不稳定时的处理；无人值守时选“询问”以外的一项</source>
        <translation>What happens when the source is still not stable after the retries; for an unattended run choose anything but "Ask"</translation>
    </message>
    <message>
        <source>仍不稳定时：</source>
        <translation>Still not stable:</translation>
    </message>
</context>
<context>
    <name>CalibrationResultDialog</name>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>温度点</source>
        <translation>Point</translation>
    </message>
    <message>
        <source>用途</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>标准温度(℃)</source>
        <translation>Reference (℃)</translation>
    </message>
    <message>
        <source>读数(%1)</source>
        <translation>Reading (%1)</translation>
    </message>
    <message>
        <source>新系数温度(℃)</source>
        <translation>New coefficients (℃)</translation>
    </message>
    <message>
        <source>残差(mK)</source>
        <translation>Residual (mK)</translation>
    </message>
    <message>
        <source>校前误差(mK)</source>
        <translation>As found (mK)</translation>
    </message>
    <message>
        <source>拟合</source>
        <translation>fit</translation>
    </message>
    <message>
        <source>残差限：%1 mK；每个通道的最大残差加粗显示，超限的标红。</source>
        <translation>Residual limit: %1 mK; each channel's largest residual is in bold, red when beyond the limit.</translation>
    </message>
    <message>
        <source>未设残差限；每个通道的最大残差加粗显示。</source>
        <translation>No residual limit set; each channel's largest residual is in bold.</translation>
    </message>
    <message>
        <source>“写入”保存系数，“放弃”不写入任何数据并保留本次校准数据。</source>
        <translation>"Write" stores the coefficients; "Discard" writes nothing and keeps this run's data.</translation>
    </message>
    <message>
        <source>%1 最大残差 %2 mK%3</source>
        <translation>%1 largest residual %2 mK%3</translation>
    </message>
    <message>
        <source>（超限）</source>
        <translation> (beyond the limit)</translation>
    </message>
    <message>
        <source>校准结果</source>
        <translation>Calibration result</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>扩展不确定度U(℃)</source>
        <translation>Expanded uncertainty U (℃)</translation>
    </message>
    <message>
        <source>核查</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>拟合点数等于待定系数个数，拟合在拟合点上是精确的（残差为0）；核查点不参与拟合，其残差是对拟合的独立检验。</source>
        <translation>As many fit points as coefficients: the fit is exact at its points (residual 0). Check points do not enter the fit; their residuals test it independently.</translation>
    </message>
    <message>
        <source>系数由%1个拟合点按最小二乘拟合；拟合点的残差和标准误差s说明拟合的好坏，核查点不参与拟合，其残差是对拟合的独立检验。</source>
        <translation>Coefficients fitted by least squares over %1 fit points; the residuals at the fit points and the standard error s show how well the fit matches. Check points do not enter the fit; their residuals test it independently.</translation>
    </message>
</context>
<context>
    <name>CalibrationSave</name>
    <message>
        <source>校准数据保存成功！</source>
        <translation>Calibration data saved!</translation>
    </message>
    <message>
        <source>未检测到校准数据，保存失败！</source>
        <translation>No calibration data found, nothing saved!</translation>
    </message>
    <message>
        <source>分批数不匹配，计算失败！</source>
        <translation>The batch count does not match, calculation failed!</translation>
    </message>
    <message>
        <source>通道数不匹配，计算失败！</source>
        <translation>The channel count does not match, calculation failed!</translation>
    </message>
    <message>
        <source>参数错误，计算失败！</source>
        <translation>Parameter error, calculation failed!</translation>
    </message>
    <message>
        <source>更新通道参数失败！</source>
        <translation>Updating the channel parameters failed!</translation>
    </message>
    <message>
        <source>校准记录保存失败，系数未写入！</source>
        <translation>The calibration record could not be stored; no coefficients were written!</translation>
    </message>
    <message>
        <source>温度点数不符合该类型的拟合要求</source>
        <translation>the number of points does not fit this kind's fit</translation>
    </message>
    <message>
        <source>两个拟合点的标准温度相同（相差小于1 ℃）</source>
        <translation>the two fit points have the same reference temperature (less than 1 ℃ apart)</translation>
    </message>
    <message>
        <source>两个拟合点的读数相同</source>
        <translation>the two fit points have the same reading</translation>
    </message>
    <message>
        <source>前5个温度点须为2个负温点、1个零点（±0.015 ℃）和2个正温点</source>
        <translation>the first 5 points must be two below zero, one at zero (±0.015 ℃) and two above</translation>
    </message>
    <message>
        <source>电阻读数不大于0</source>
        <translation>a resistance reading is not above 0</translation>
    </message>
    <message>
        <source>拟合结果不是有限数值</source>
        <translation>the fit gives no finite numbers</translation>
    </message>
    <message>
        <source>%1 温度点%2：读数“%3”或标准“%4”不是数字</source>
        <translation>%1 point %2: reading "%3" or reference "%4" is no number</translation>
    </message>
    <message>
        <source>标准器证书</source>
        <translation>reference certificate</translation>
    </message>
    <message>
        <source>标准器漂移</source>
        <translation>reference drift</translation>
    </message>
    <message>
        <source>温场稳定性</source>
        <translation>source stability</translation>
    </message>
    <message>
        <source>温场均匀性</source>
        <translation>source uniformity</translation>
    </message>
    <message>
        <source>读数分辨力</source>
        <translation>readout resolution</translation>
    </message>
    <message>
        <source>读数准确度</source>
        <translation>readout accuracy</translation>
    </message>
    <message>
        <source>标准读数A类</source>
        <translation>reference readings (Type A)</translation>
    </message>
    <message>
        <source>通道读数A类</source>
        <translation>channel readings (Type A)</translation>
    </message>
    <message>
        <source>拟合残差</source>
        <translation>fit residual</translation>
    </message>
    <message>
        <source>通道配置在本次校准开始后已被修改（可能在另一台工作站），系数未写入！</source>
        <translation>The channel configuration was changed after this calibration started (perhaps on another workstation); the coefficients were not written!</translation>
    </message>
    <message>
        <source>拟合点中须有一个零点（标准温度在±0.015 ℃以内）</source>
        <translation>one fit point must be the zero point (reference within ±0.015 ℃)</translation>
    </message>
    <message>
        <source>拟合点超出该函数的适用范围（ITS-90偏差函数：-189.3442 ℃～660.323 ℃；CVD：-200 ℃～850 ℃）</source>
        <translation>a fit point is outside the range of the function (ITS-90 deviation functions: -189.3442 ℃ to 660.323 ℃; CVD: -200 ℃ to 850 ℃)</translation>
    </message>
    <message>
        <source>拟合点（不同温度）少于待定系数的个数</source>
        <translation>fewer fit points (distinct temperatures) than coefficients</translation>
    </message>
    <message>
        <source>拟合点过于集中，系数无法确定（铂电阻同一温区内各点的W-1须相差1.5倍以上）</source>
        <translation>the fit points are too close to determine the coefficients (within a platinum subrange W-1 must differ by a factor of 1.5 or more)</translation>
    </message>
    <message>
        <source>拟合系数超出合理范围</source>
        <translation>a fitted coefficient is beyond its plausible bound</translation>
    </message>
    <message>
        <source>热敏电阻拟合点的温度范围小于10 K</source>
        <translation>the thermistor fit points span less than 10 K</translation>
    </message>
    <message>
        <source>电阻读数与标准温度不符（W偏离参考函数超过W-1的5%）</source>
        <translation>resistance reading does not match the reference temperature (W departs from the reference function by more than 5 % of W-1)</translation>
    </message>
    <message>
        <source>热电偶校准至少需要2个不同温度的拟合点，多于2个时按最小二乘拟合；核查点不参与拟合。</source>
        <translation>A thermocouple calibration needs fit points at 2 different temperatures at least; with more it is a least-squares fit. Check points do not enter the fit.</translation>
    </message>
    <message>
        <source>热敏电阻校准至少需要4个不同温度的拟合点，温度跨度不小于10 K；核查点不参与拟合。</source>
        <translation>A thermistor calibration needs fit points at 4 different temperatures at least, spanning 10 K or more. Check points do not enter the fit.</translation>
    </message>
    <message>
        <source>铂电阻校准（ITS-90函数）需要一个零点（0 ℃）拟合点，零下和零上温区各至少2个拟合点（零上超过419.527 ℃时3个）；CVD函数至少需要3个不同温度的拟合点，有零下点时4个；核查点不参与拟合。</source>
        <translation>A platinum calibration (ITS-90 function) needs a zero point (0 ℃) among its fit points and 2 fit points at least in each subrange used, below and above zero (3 above 419.527 ℃); the CVD function needs fit points at 3 different temperatures, 4 with points below zero. Check points do not enter the fit.</translation>
    </message>
    <message>
        <source>（R(0 ℃) = %1 Ω）</source>
        <translation> (R(0 ℃) = %1 Ω)</translation>
    </message>
    <message>
        <source>标准误差 s = %1 mK（ν = %2）</source>
        <translation>standard error s = %1 mK (ν = %2)</translation>
    </message>
    <message>
        <source>拟合点数等于系数个数（ν = 0）</source>
        <translation>as many fit points as coefficients (ν = 0)</translation>
    </message>
    <message>
        <source>有效范围 %1 ～ %2 ℃</source>
        <translation>range of validity %1 to %2 ℃</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>拟合标准误差</source>
        <translation>Standard error of the fit</translation>
    </message>
</context>
<context>
    <name>CalibrationSession</name>
    <message>
        <source>批次</source>
        <translation>Batch </translation>
    </message>
    <message>
        <source>标准:</source>
        <translation>Reference: </translation>
    </message>
    <message>
        <source>设备连接失败!</source>
        <translation>Device connection failed!</translation>
    </message>
    <message>
        <source>采集器连接成功！</source>
        <translation>Acquisition devices connected!</translation>
    </message>
    <message>
        <source>温场设备设置失败!</source>
        <translation>Setting the temperature source failed!</translation>
    </message>
    <message>
        <source>温场设备连接成功！</source>
        <translation>Temperature source connected!</translation>
    </message>
    <message>
        <source>标准器连接成功！</source>
        <translation>Reference connected!</translation>
    </message>
    <message>
        <source>采集设备设置失败!</source>
        <translation>Setting the acquisition device failed!</translation>
    </message>
    <message>
        <source>通道参数设置成功！</source>
        <translation>Channel parameters set!</translation>
    </message>
    <message>
        <source>温场已稳定。</source>
        <translation> The temperature source is stable.</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>请更换通道后点击确定按钮！</source>
        <translation>Swap the channels, then press OK!</translation>
    </message>
    <message>
        <source>温度点</source>
        <translation>Point </translation>
    </message>
    <message>
        <source>采集器阻值获取失败!</source>
        <translation>Reading the acquisition device failed!</translation>
    </message>
    <message>
        <source>获取标准温度失败!</source>
        <translation>Reading the reference temperature failed!</translation>
    </message>
    <message>
        <source>标准器连接中断后已重新连接，本批次重新采样。</source>
        <translation>The reference's link was lost and is back; this batch is sampled again.</translation>
    </message>
    <message>
        <source>校准结束退出!</source>
        <translation>Calibration finished!</translation>
    </message>
    <message>
        <source>设备连接中...</source>
        <translation>Connecting the devices...</translation>
    </message>
    <message>
        <source>请更换液体!</source>
        <translation>Please change the liquid!</translation>
    </message>
    <message>
        <source>采集器数据获取失败!</source>
        <translation>Reading the acquisition device data failed!</translation>
    </message>
    <message>
        <source>采集设备</source>
        <translation>Acquisition device </translation>
    </message>
    <message>
        <source>断开连接。</source>
        <translation> disconnected.</translation>
    </message>
    <message>
        <source>温度标准断开连接。</source>
        <translation>Reference disconnected.</translation>
    </message>
    <message>
        <source>温场设备断开连接。</source>
        <translation>Temperature source disconnected.</translation>
    </message>
    <message>
        <source>设定：</source>
        <translation>set: </translation>
    </message>
    <message>
        <source>温度点%1：温场在%2分钟内未稳定，校准停止！</source>
        <translation>Point %1: the source was not stable within %2 min; calibration stopped!</translation>
    </message>
    <message>
        <source>标准差 %1 ℃，漂移 %2 ℃/min</source>
        <translation>standard deviation %1 ℃, drift %2 ℃/min</translation>
    </message>
    <message>
        <source>温度点%1批次%2：标准温度不稳定（%3），校准停止！</source>
        <translation>Point %1 batch %2: the reference is not stable (%3); calibration stopped!</translation>
    </message>
    <message>
        <source>温场已设为待机温度 %1 ℃。</source>
        <translation>Source set to its standby set-point %1 ℃.</translation>
    </message>
    <message>
        <source>温场待机温度 %1 ℃ 设置失败！</source>
        <translation>Setting the source's standby set-point %1 ℃ failed!</translation>
    </message>
    <message>
        <source>标准器 %1（证书 %2）已于 %3 到期，不能用于校准！</source>
        <translation>Reference %1 (certificate %2) was due on %3 and cannot be used for calibration!</translation>
    </message>
    <message>
        <source>标准器 %1（证书 %2）已于 %3 到期，是否仍用于本次校准？确认将记入操作日志。</source>
        <translation>Reference %1 (certificate %2) was due on %3. Use it for this calibration anyway? The confirmation is logged.</translation>
    </message>
    <message>
        <source>标准器 %1 已过期，操作者确认继续使用。</source>
        <translation>Reference %1 is overdue; the operator confirmed its use.</translation>
    </message>
    <message>
        <source>温场稳定等待中...</source>
        <translation>Waiting for the source to be stable...</translation>
    </message>
    <message>
        <source>温场稳定延迟等待中...</source>
        <translation>Waiting for the stabilisation delay...</translation>
    </message>
    <message>
        <source>稳定延迟：剩余 %1:%2</source>
        <translation>Stabilisation delay: %1:%2 left</translation>
    </message>
    <message>
        <source>标准温度不稳定（%1），第 %2/%3 次，重新采样。</source>
        <translation>Reference not stable (%1), attempt %2/%3, sampling again.</translation>
    </message>
    <message>
        <source>；通道 %1 漂移 %2 ℃/min</source>
        <translation>; channel %1 drift %2 ℃/min</translation>
    </message>
    <message>
        <source>温度点%1批次%2：稳定窗口 %3 min（第 %4/%5 次）...</source>
        <translation>Point %1 batch %2: stability window of %3 min (attempt %4/%5)...</translation>
    </message>
    <message>
        <source>稳定窗口：剩余 %1 s</source>
        <translation>Stability window: %1 s left</translation>
    </message>
    <message>
        <source>标准器连接中断后已重新连接，稳定窗口重新开始。</source>
        <translation>The reference link was lost and is back; the stability window starts again.</translation>
    </message>
    <message>
        <source>稳定窗口满足要求（%1）。</source>
        <translation>Stability window met (%1).</translation>
    </message>
    <message>
        <source>标准温度不稳定（%1），第 %2/%3 次，等待新的稳定窗口。</source>
        <translation>Reference not stable (%1), attempt %2/%3, waiting for a new stability window.</translation>
    </message>
    <message>
        <source>温度点%1批次%2：标准温度不稳定（%3），已等待 %4 个稳定窗口。</source>
        <translation>Point %1 batch %2: the reference is not stable (%3) after %4 stability windows.</translation>
    </message>
    <message>
        <source>停止校准</source>
        <translation>Stop the calibration</translation>
    </message>
    <message>
        <source>继续等待</source>
        <translation>Wait longer</translation>
    </message>
    <message>
        <source>接受该点并记录说明</source>
        <translation>Accept the point with a note</translation>
    </message>
    <message>
        <source>跳过该点</source>
        <translation>Skip the point</translation>
    </message>
    <message>
        <source>批次%1在标准温度不稳定时采样（%2），操作者接受</source>
        <translation>Batch %1 sampled while the reference was not stable (%2), accepted by the operator</translation>
    </message>
    <message>
        <source>温度点%1未稳定（%2），已跳过。</source>
        <translation>Point %1 did not become stable (%2) and was skipped.</translation>
    </message>
    <message>
        <source>零点批次%1：标准 %2 ℃（第 %3/%4 次）</source>
        <translation>Zero point batch %1: reference %2 ℃ (attempt %3/%4)</translation>
    </message>
    <message>
        <source>温度点%1批次%2：标准温度 %3 ℃ 在 %4 次设定后仍不在 0 ℃ ±0.015 ℃ 以内，校准停止！</source>
        <translation>Point %1 batch %2: the reference reads %3 ℃, still not within 0 ℃ ±0.015 ℃ after %4 set-points; calibration stopped!</translation>
    </message>
</context>
<context>
    <name>CertificateDialog</name>
    <message>
        <source>出具校准证书</source>
        <translation>Issue calibration certificate</translation>
    </message>
    <message>
        <source>校准开始 %1，设备%2 %3 %4，通道 %5</source>
        <translation>Calibration started %1, device %2 %3 %4, channels %5</translation>
    </message>
    <message>
        <source>该校准没有可出具证书的记录。</source>
        <translation>This calibration has no records a certificate can be issued from.</translation>
    </message>
    <message>
        <source>证书编号：</source>
        <translation>Certificate number:</translation>
    </message>
    <message>
        <source>签发日期：</source>
        <translation>Date of issue:</translation>
    </message>
    <message>
        <source>委托方：</source>
        <translation>Customer:</translation>
    </message>
    <message>
        <source>委托方地址：</source>
        <translation>Customer address:</translation>
    </message>
    <message>
        <source>环境温度(℃)：</source>
        <translation>Ambient temperature (℃):</translation>
    </message>
    <message>
        <source>相对湿度(%RH)：</source>
        <translation>Relative humidity (%RH):</translation>
    </message>
    <message>
        <source>签发人：</source>
        <translation>Authorised signatory:</translation>
    </message>
    <message>
        <source>生成证书...</source>
        <translation>Write certificate...</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>请先在“标准器与实验室记录”中填写实验室名称和签发人！</source>
        <translation>Enter the laboratory name and a signatory in "Standards and lab records" first!</translation>
    </message>
    <message>
        <source>请输入证书编号！</source>
        <translation>Enter a certificate number!</translation>
    </message>
    <message>
        <source>证书编号 %1 已使用！</source>
        <translation>Certificate number %1 is already in use!</translation>
    </message>
    <message>
        <source>签发日期格式应为 yyyy-MM-dd！</source>
        <translation>The date of issue must be yyyy-MM-dd!</translation>
    </message>
    <message>
        <source>请输入委托方！</source>
        <translation>Enter the customer!</translation>
    </message>
    <message>
        <source>请输入环境温度和相对湿度！</source>
        <translation>Enter the ambient temperature and relative humidity!</translation>
    </message>
    <message>
        <source>保存证书</source>
        <translation>Save certificate</translation>
    </message>
    <message>
        <source>PDF 文件 (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>证书生成已取消。</source>
        <translation>Writing the certificate was cancelled.</translation>
    </message>
    <message>
        <source>证书生成失败：%1</source>
        <translation>The certificate could not be written: %1</translation>
    </message>
    <message>
        <source>证书文件已生成，但证书记录保存失败：%1</source>
        <translation>The certificate files were written, but the certificate record could not be stored: %1</translation>
    </message>
    <message>
        <source>证书已生成：%1</source>
        <translation>Certificate written: %1</translation>
    </message>
</context>
<context>
    <name>CertificateFiles</name>
    <message>
        <source>无法写入 %1</source>
        <translation>Cannot write %1</translation>
    </message>
</context>
<context>
    <name>CertificatePdf</name>
    <message>
        <source>正态(证书)</source>
        <translation>Normal (certificate)</translation>
    </message>
    <message>
        <source>矩形</source>
        <translation>Rectangular</translation>
    </message>
    <message>
        <source>矩形(分辨力)</source>
        <translation>Rectangular (resolution)</translation>
    </message>
    <message>
        <source>A类</source>
        <translation>Type A</translation>
    </message>
    <message>
        <source>标准</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>校准证书</source>
        <translation>Calibration certificate</translation>
    </message>
    <message>
        <source>证书编号：%1</source>
        <translation>Certificate number: %1</translation>
    </message>
    <message>
        <source>校准机构：</source>
        <translation>Calibrated by:</translation>
    </message>
    <message>
        <source>地址：</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>认可编号：</source>
        <translation>Accreditation:</translation>
    </message>
    <message>
        <source>委托方：</source>
        <translation>Customer:</translation>
    </message>
    <message>
        <source>委托方地址：</source>
        <translation>Customer address:</translation>
    </message>
    <message>
        <source>被校对象：</source>
        <translation>Item calibrated:</translation>
    </message>
    <message>
        <source>采集设备 %1，序列号 %2（设备%3，配置 %4）</source>
        <translation>Data logger %1, serial number %2 (device %3, configuration %4)</translation>
    </message>
    <message>
        <source>校准通道：</source>
        <translation>Channels:</translation>
    </message>
    <message>
        <source>传感器：</source>
        <translation>Sensors:</translation>
    </message>
    <message>
        <source>校准方法：</source>
        <translation>Method:</translation>
    </message>
    <message>
        <source>在 %1 中与标准器 %2 比较测量</source>
        <translation>Comparison in %1 against the reference %2</translation>
    </message>
    <message>
        <source>校准日期：</source>
        <translation>Date of calibration:</translation>
    </message>
    <message>
        <source>签发日期：</source>
        <translation>Date of issue:</translation>
    </message>
    <message>
        <source>环境条件：</source>
        <translation>Environment:</translation>
    </message>
    <message>
        <source>温度 %1 ℃，相对湿度 %2 %RH</source>
        <translation>Temperature %1 ℃, relative humidity %2 %RH</translation>
    </message>
    <message>
        <source>校准结果</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>通道 %1%2：%3</source>
        <translation>Channel %1%2: %3</translation>
    </message>
    <message>
        <source>温度点</source>
        <translation>Point</translation>
    </message>
    <message>
        <source>标准温度(℃)</source>
        <translation>Reference (℃)</translation>
    </message>
    <message>
        <source>读数(Ω)</source>
        <translation>Reading (Ω)</translation>
    </message>
    <message>
        <source>读数(℃)</source>
        <translation>Reading (℃)</translation>
    </message>
    <message>
        <source>校前误差(℃)</source>
        <translation>Error as found (℃)</translation>
    </message>
    <message>
        <source>校后误差(℃)</source>
        <translation>Error as left (℃)</translation>
    </message>
    <message>
        <source>扩展不确定度U(℃)</source>
        <translation>Uncertainty U (℃)</translation>
    </message>
    <message>
        <source>k</source>
        <translation>k</translation>
    </message>
    <message>
        <source>(核查)</source>
        <translation> (check)</translation>
    </message>
    <message>
        <source>写入系数：</source>
        <translation>Coefficients written: </translation>
    </message>
    <message>
        <source>校前误差为按原有系数的示值减标准温度，校后误差为按写入系数的示值减标准温度。扩展不确定度 U 由合成标准不确定度乘以包含因子 k 得到，包含概率约为 95 %；U 保留两位有效数字，误差修约到相同位数。</source>
        <translation>The error as found is the indication with the former coefficients minus the reference temperature, the error as left the indication with the coefficients written minus the reference temperature. The expanded uncertainty U is the combined standard uncertainty multiplied by the coverage factor k for a coverage probability of about 95 %; U is given to two significant digits and the errors are rounded to the same decimal place.</translation>
    </message>
    <message>
        <source>溯源性</source>
        <translation>Traceability</translation>
    </message>
    <message>
        <source>标准器 %1（序列号 %2）由 %3 校准，证书编号 %4，校准日期 %5，有效期至 %6；其扩展不确定度 U = %7 ℃（k = %8）。</source>
        <translation>The reference %1 (serial number %2) was calibrated by %3, certificate %4 of %5, due %6; its expanded uncertainty is U = %7 ℃ (k = %8).</translation>
    </message>
    <message>
        <source>标准器 %1 未登记校准证书，本证书的结果无溯源声明。</source>
        <translation>No calibration certificate is recorded for the reference %1: these results carry no statement of traceability.</translation>
    </message>
    <message>
        <source>本证书的校准结果仅对所校准的对象有效。</source>
        <translation>The results relate only to the item calibrated.</translation>
    </message>
    <message>
        <source>未经本实验室书面同意，不得部分复制本证书。</source>
        <translation>This certificate shall not be reproduced except in full without the written approval of the laboratory.</translation>
    </message>
    <message>
        <source>校准员：</source>
        <translation>Operator:</translation>
    </message>
    <message>
        <source>签发人：</source>
        <translation>Authorised signatory:</translation>
    </message>
    <message>
        <source>签名：</source>
        <translation>Signature:</translation>
    </message>
    <message>
        <source>附录：不确定度评定</source>
        <translation>Annex: uncertainty budgets</translation>
    </message>
    <message>
        <source>通道 %1，温度点 %2（%3 ℃）</source>
        <translation>Channel %1, point %2 (%3 ℃)</translation>
    </message>
    <message>
        <source>分量</source>
        <translation>Component</translation>
    </message>
    <message>
        <source>分布</source>
        <translation>Distribution</translation>
    </message>
    <message>
        <source>输入值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>灵敏系数</source>
        <translation>Sensitivity</translation>
    </message>
    <message>
        <source>标准不确定度(℃)</source>
        <translation>Standard uncertainty (℃)</translation>
    </message>
    <message>
        <source>自由度</source>
        <translation>Degrees of freedom</translation>
    </message>
    <message>
        <source>合成标准不确定度 u_c = %1 ℃，有效自由度 ν_eff = %2，k = %3，U = %4 ℃</source>
        <translation>Combined standard uncertainty u_c = %1 ℃, effective degrees of freedom ν_eff = %2, k = %3, U = %4 ℃</translation>
    </message>
    <message>
        <source>—— 证书结束 ——</source>
        <translation>— End of certificate —</translation>
    </message>
    <message>
        <source>第 %1 页 共 %2 页</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>系数的有效范围（最低至最高拟合点）：%1 ℃ ～ %2 ℃；范围外的示值不在本次校准之内。</source>
        <translation>Range of validity of the coefficients (lowest to highest fit point): %1 ℃ to %2 ℃; indications outside it are not covered by this calibration.</translation>
    </message>
</context>
<context>
    <name>ChannelBatch</name>
    <message>
        <source>批次确认</source>
        <translation>Batch confirmation</translation>
    </message>
    <message>
        <source>配置文件</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>批次</source>
        <translation>Batch</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>下一步</source>
        <translation>Next</translation>
    </message>
</context>
<context>
    <name>ChannelCalibration</name>
    <message>
        <source>校准参数</source>
        <translation>Calibration parameters</translation>
    </message>
    <message>
        <source>换液</source>
        <translation>Change liquid</translation>
    </message>
    <message>
        <source>稳定延迟：</source>
        <translation>Stabilisation delay:</translation>
    </message>
    <message>
        <source>单批最大通道数：</source>
        <translation>Channels per batch:</translation>
    </message>
    <message>
        <source>校准设备</source>
        <translation>Calibration devices</translation>
    </message>
    <message>
        <source>标准型号：</source>
        <translation>Reference:</translation>
    </message>
    <message>
        <source>通信设置</source>
        <translation>Link settings</translation>
    </message>
    <message>
        <source>采集设备%1：</source>
        <translation>Acquisition device %1:</translation>
    </message>
    <message>
        <source>温场型号：</source>
        <translation>Temperature source:</translation>
    </message>
    <message>
        <source>校准数据</source>
        <translation>Calibration data</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>温度点</source>
        <translation>Point </translation>
    </message>
    <message>
        <source>结束</source>
        <translation>End</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>批次</source>
        <translation>Batch </translation>
    </message>
    <message>
        <source>标准：</source>
        <translation>Reference: </translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>软件异常，请退出软件重试!</source>
        <translation>Software error, please quit and retry!</translation>
    </message>
    <message>
        <source>采集设备不能相同!</source>
        <translation>The acquisition devices must differ!</translation>
    </message>
    <message>
        <source>未选择采集设备!</source>
        <translation>No acquisition device selected!</translation>
    </message>
    <message>
        <source>自动模式下标准探头不允许手动!</source>
        <translation>In automatic mode the reference cannot be manual!</translation>
    </message>
    <message>
        <source>通道配置信息改变，是否开始新的校准?</source>
        <translation>The channel configuration has changed. Start a new calibration?</translation>
    </message>
    <message>
        <source>设置的温度点少于保存的数据，是否开始新的校准?</source>
        <translation>Fewer points are set than are stored. Start a new calibration?</translation>
    </message>
    <message>
        <source>当前类型暂不支持校准!</source>
        <translation>This channel type cannot be calibrated yet!</translation>
    </message>
    <message>
        <source>通道信息异常，设置失败!</source>
        <translation>The channel information is inconsistent, set-up failed!</translation>
    </message>
    <message>
        <source>最大分批数不能小于0!</source>
        <translation>The channels per batch must be at least 1!</translation>
    </message>
    <message>
        <source>设备连接中...</source>
        <translation>Connecting the devices...</translation>
    </message>
    <message>
        <source>数据异常!</source>
        <translation>The data are inconsistent!</translation>
    </message>
    <message>
        <source>重采</source>
        <translation>Re-measure</translation>
    </message>
    <message>
        <source>当前为自动模式，此按钮不可用!</source>
        <translation>Automatic mode: this button is not available!</translation>
    </message>
    <message>
        <source>标准</source>
        <translation>Reference</translation>
    </message>
    <message>
        <source>请输入标准温度：</source>
        <translation>Enter the reference temperature:</translation>
    </message>
    <message>
        <source>请先开始校准!</source>
        <translation>Start a calibration first!</translation>
    </message>
    <message>
        <source>当前没有校准数据!</source>
        <translation>There is no calibration data!</translation>
    </message>
    <message>
        <source>温度点%1(℃)：</source>
        <translation>Point %1 (℃):</translation>
    </message>
    <message>
        <source>测量设置...</source>
        <translation>Measurement settings...</translation>
    </message>
    <message>
        <source>每点采样次数、标准稳定判据、温场稳定超时、待机温度和残差限</source>
        <translation>Readings per point, reference stability, source timeout, standby set-point and residual limit</translation>
    </message>
    <message>
        <source>校准历史</source>
        <translation>Calibration history</translation>
    </message>
    <message>
        <source>校准进行中，设备正在使用，不能更改通信设置！</source>
        <translation>A calibration is using the instruments; the link settings cannot be changed now!</translation>
    </message>
    <message>
        <source>采集设备%1和采集设备%2使用同一通道配置“%3”，且都选择了通道%4，同一通道不能同时校准两次!</source>
        <translation>Acquisition devices %1 and %2 use the same channel configuration "%3" and both chose channel(s) %4; a channel cannot be calibrated twice at once!</translation>
    </message>
    <message>
        <source>校准结果已放弃，未写入任何数据；按“结束”可再次查看并写入。</source>
        <translation>Result discarded, nothing written; press "End" to review and write it again.</translation>
    </message>
    <message>
        <source>采集设备</source>
        <translation>Acquisition device </translation>
    </message>
    <message>
        <source>已下发更新后的通道参数。</source>
        <translation> was sent its updated channel configuration.</translation>
    </message>
    <message>
        <source>无法连接，更新后的通道参数未下发；系数已保存，请在采集设备页面测试该设备。</source>
        <translation> cannot be reached; its updated channel configuration was not sent. The coefficients are saved; test the device on the acquisition-device page.</translation>
    </message>
    <message>
        <source>标准器与实验室记录...</source>
        <translation>Standards and lab records...</translation>
    </message>
    <message>
        <source>核查点</source>
        <translation>Check point</translation>
    </message>
    <message>
        <source>核查点不参与拟合，其残差是对拟合结果的独立检验</source>
        <translation>A check point does not enter the fit; its residual tests the fit independently</translation>
    </message>
    <message>
        <source>校准进行中，恢复的系数未下发到采集设备。</source>
        <translation>A calibration is running: the restored coefficients were not sent to the loggers.</translation>
    </message>
</context>
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
    <name>ChannelConfigAdd</name>
    <message>
        <source>添加配置文件</source>
        <translation>Add configuration</translation>
    </message>
    <message>
        <source>通道配置</source>
        <translation>Channel configuration</translation>
    </message>
    <message>
        <source>名称：</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>采集设备型号：</source>
        <translation>Device model:</translation>
    </message>
    <message>
        <source>通道个数：</source>
        <translation>Channels:</translation>
    </message>
    <message>
        <source>选中</source>
        <translation>Select</translation>
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
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>批量设置</source>
        <translation>Batch setting</translation>
    </message>
    <message>
        <source>参数导入</source>
        <translation>Import parameters</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>新建文件</source>
        <translation>Create file</translation>
    </message>
    <message>
        <source>取消全选</source>
        <translation>Clear all</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>通道标签不许使用逗号!</source>
        <translation>A channel tag must not contain a comma!</translation>
    </message>
    <message>
        <source>请输入有效的数值！</source>
        <translation>Enter a valid number!</translation>
    </message>
    <message>
        <source>请先选择通道！</source>
        <translation>Select channels first!</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>读取文件失败!</source>
        <translation>Reading the file failed!</translation>
    </message>
    <message>
        <source>参数文件中有无效数值!</source>
        <translation>The parameter file holds values that are not numbers!</translation>
    </message>
    <message>
        <source>通道编号不能重复！</source>
        <translation>Channel numbers must not repeat!</translation>
    </message>
    <message>
        <source>通道编号需要递增！</source>
        <translation>Channel numbers must increase!</translation>
    </message>
    <message>
        <source>添加数据失败！</source>
        <translation>Adding the data failed!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>添加成功！</source>
        <translation>Added!</translation>
    </message>
</context>
<context>
    <name>ChannelConfigBatch</name>
    <message>
        <source>批量设置</source>
        <translation>Batch setting</translation>
    </message>
    <message>
        <source>通道类型：</source>
        <translation>Type:</translation>
    </message>
    <message>
        <source>通道功能：</source>
        <translation>Function:</translation>
    </message>
    <message>
        <source>接线线制：</source>
        <translation>Wiring:</translation>
    </message>
    <message>
        <source>单位：</source>
        <translation>Unit:</translation>
    </message>
    <message>
        <source>下限警告启用</source>
        <translation>Low alarm on</translation>
    </message>
    <message>
        <source>下限警告：</source>
        <translation>Low alarm:</translation>
    </message>
    <message>
        <source>上限警告启用</source>
        <translation>High alarm on</translation>
    </message>
    <message>
        <source>上限警告：</source>
        <translation>High alarm:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>请输入有效的数值！</source>
        <translation>Enter a valid number!</translation>
    </message>
</context>
<context>
    <name>ChannelConfigNew</name>
    <message>
        <source>新建配置文件</source>
        <translation>New configuration</translation>
    </message>
    <message>
        <source>基础信息</source>
        <translation>Basic information</translation>
    </message>
    <message>
        <source>文件名称：</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>采集设备型号：</source>
        <translation>Device model:</translation>
    </message>
    <message>
        <source>通道个数：</source>
        <translation>Channels:</translation>
    </message>
    <message>
        <source>模块配置：</source>
        <translation>Modules:</translation>
    </message>
    <message>
        <source>补偿设置</source>
        <translation>Compensation</translation>
    </message>
    <message>
        <source>补偿方式：</source>
        <translation>Compensation:</translation>
    </message>
    <message>
        <source>冷端温度：</source>
        <translation>Cold junction:</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>下一步</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>请先输入文件名称!</source>
        <translation>Enter a file name first!</translation>
    </message>
    <message>
        <source>文件名称不许使用逗号!</source>
        <translation>A file name must not contain a comma!</translation>
    </message>
    <message>
        <source>数据库连接失败!</source>
        <translation>Database connection failed!</translation>
    </message>
    <message>
        <source>通道名称已存在!</source>
        <translation>The name exists already!</translation>
    </message>
    <message>
        <source>通道数不能为0!</source>
        <translation>The channel count must not be 0!</translation>
    </message>
    <message>
        <source>模块配置不能为空!</source>
        <translation>Choose at least one module!</translation>
    </message>
    <message>
        <source>超过最大通道数!</source>
        <translation>More than the largest channel count!</translation>
    </message>
</context>
<context>
    <name>ChannelConfigOpen</name>
    <message>
        <source>打开配置文件</source>
        <translation>Open configuration</translation>
    </message>
    <message>
        <source>双击一行打开该配置文件。</source>
        <translation>Double-click a row to open that configuration.</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
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
    <name>ChannelScan</name>
    <message>
        <source>本版本不支持蓝牙参考温度计</source>
        <translation>This version does not support the Bluetooth reference thermometer</translation>
    </message>
    <message>
        <source>通讯</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>操作区</source>
        <translation>Operation</translation>
    </message>
    <message>
        <source>通讯方式：</source>
        <translation>Link:</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Serial port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>测试</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>IP地址：</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>端口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>设备名：</source>
        <translation>Device name:</translation>
    </message>
    <message>
        <source>空：</source>
        <translation>None:</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>当前模式无需测试！</source>
        <translation>This mode needs no test!</translation>
    </message>
    <message>
        <source>测试成功！</source>
        <translation>Test succeeded!</translation>
    </message>
    <message>
        <source>获取序列号失败！</source>
        <translation>Reading the serial number failed!</translation>
    </message>
    <message>
        <source>设备连接失败！</source>
        <translation>Device connection failed!</translation>
    </message>
    <message>
        <source>蓝牙不可用，请检查蓝牙适配器！</source>
        <translation>Bluetooth is not available, please check the Bluetooth adapter!</translation>
    </message>
    <message>
        <source>重新搜索</source>
        <translation>Search again</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>测试已取消！</source>
        <translation>Test cancelled!</translation>
    </message>
    <message>
        <source>正在连接：第 %1 次，共 %2 次</source>
        <translation>Connecting: attempt %1 of %2</translation>
    </message>
    <message>
        <source>正在取消…</source>
        <translation>Cancelling…</translation>
    </message>
    <message>
        <source>连接信息错误！</source>
        <translation>Connection information is wrong!</translation>
    </message>
    <message>
        <source>序列号：</source>
        <translation>Serial number: </translation>
    </message>
</context>
<context>
    <name>ChannelSet</name>
    <message>
        <source>通道设置</source>
        <translation>Channel settings</translation>
    </message>
    <message>
        <source>通道类型：</source>
        <translation>Channel type:</translation>
    </message>
    <message>
        <source>选中</source>
        <translation>Selected</translation>
    </message>
    <message>
        <source>配置文件</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>功能</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>下一步</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>取消全选</source>
        <translation>Deselect all</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>请先选择需要校准的通道！</source>
        <translation>Select the channels to calibrate first!</translation>
    </message>
</context>
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
<context>
    <name>Email</name>
    <message>
        <source>邮件服务器%1不提供登录（AUTH），无法以发件邮箱登录</source>
        <translation>The mail server %1 offers no login (AUTH): cannot log in with the sender mailbox</translation>
    </message>
    <message>
        <source>邮件服务器%1只提供%2登录，本程序只支持LOGIN和PLAIN</source>
        <translation>The mail server %1 offers only %2 login; this program supports LOGIN and PLAIN only</translation>
    </message>
</context>
<context>
    <name>HeldRecovery</name>
    <message>
        <source>上次采集未存入数据库的%1次扫描已从文件%2存入数据库。</source>
        <translation>%1 scans the last acquisition could not store were stored in the database from the file %2.</translation>
    </message>
    <message>
        <source>文件%1中暂存的扫描数据未能存入数据库，文件已保留，下次启动程序时再试。</source>
        <translation>The scans kept in the file %1 could not be stored in the database. The file is kept; the next start of the program tries again.</translation>
    </message>
</context>
<context>
    <name>LabAdmin</name>
    <message>
        <source>用法：arq-lab-admin [--ini 文件] --setup | --add-bench 登录名 | --check</source>
        <translation>Usage: arq-lab-admin [--ini FILE] --setup | --add-bench LOGIN | --check</translation>
    </message>
    <message>
        <source>%1 未指定实验室数据库服务器（engine=postgresql）。</source>
        <translation>%1 names no lab database server (engine=postgresql).</translation>
    </message>
    <message>
        <source>无法连接实验室数据库服务器：</source>
        <translation>Cannot connect to the lab database server: </translation>
    </message>
    <message>
        <source>实验室数据库表已就绪（版本 %1），工作站角色 %2 可读写数据行。</source>
        <translation>The lab database's tables are ready (version %1); the bench role %2 may read and write their rows.</translation>
    </message>
    <message>
        <source>建立或升级数据库表失败：</source>
        <translation>Creating or upgrading the tables failed: </translation>
    </message>
    <message>
        <source>数据库表版本：%1</source>
        <translation>Tables' version: %1</translation>
    </message>
    <message>
        <source>工作站登录 %1 已建立。</source>
        <translation>Bench login %1 is ready.</translation>
    </message>
    <message>
        <source>建立工作站登录失败：</source>
        <translation>Making the bench login failed: </translation>
    </message>
</context>
<context>
    <name>LabImport</name>
    <message>
        <source>用法：arq-lab-import 工作站数据库文件</source>
        <translation>Usage: arq-lab-import BENCH_DATABASE_FILE</translation>
    </message>
    <message>
        <source>打开实验室数据库失败：</source>
        <translation>Opening the lab database failed: </translation>
    </message>
    <message>
        <source>database.ini 未指定实验室数据库服务器（engine=postgresql）。</source>
        <translation>database.ini names no lab database server (engine=postgresql).</translation>
    </message>
    <message>
        <source>实验室数据库中已有同名记录，未导入任何数据：</source>
        <translation>The lab database already holds records of these names; nothing was imported: </translation>
    </message>
    <message>
        <source>导入失败，未导入任何数据：</source>
        <translation>Import failed; nothing was imported: </translation>
    </message>
    <message>
        <source>已导入 %1 个项目、%2 行采集数据；实验室已有的 %3 条标准器等记录保持不变。</source>
        <translation>Imported %1 projects and %2 scan rows; %3 standard and similar records the lab already had were kept unchanged.</translation>
    </message>
</context>
<context>
    <name>LabRecordsDialog</name>
    <message>
        <source>标准器与实验室记录</source>
        <translation>Standards and lab records</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>证书编号</source>
        <translation>Certificate no.</translation>
    </message>
    <message>
        <source>校准机构</source>
        <translation>Calibrated by</translation>
    </message>
    <message>
        <source>校准日期</source>
        <translation>Calibration date</translation>
    </message>
    <message>
        <source>有效期至</source>
        <translation>Due date</translation>
    </message>
    <message>
        <source>扩展不确定度U(℃)</source>
        <translation>Expanded uncertainty U (℃)</translation>
    </message>
    <message>
        <source>k</source>
        <translation>k</translation>
    </message>
    <message>
        <source>年漂移(℃/年)</source>
        <translation>Drift (℃/year)</translation>
    </message>
    <message>
        <source>型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>稳定性(℃)</source>
        <translation>Stability (℃)</translation>
    </message>
    <message>
        <source>均匀性(℃)</source>
        <translation>Uniformity (℃)</translation>
    </message>
    <message>
        <source>采集设备型号</source>
        <translation>Logger model</translation>
    </message>
    <message>
        <source>通道类型</source>
        <translation>Channel type</translation>
    </message>
    <message>
        <source>分辨力</source>
        <translation>Resolution</translation>
    </message>
    <message>
        <source>准确度(±)</source>
        <translation>Accuracy (±)</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>标准器</source>
        <translation>Reference standards</translation>
    </message>
    <message>
        <source>温场</source>
        <translation>Sources</translation>
    </message>
    <message>
        <source>采集读数</source>
        <translation>Readout</translation>
    </message>
    <message>
        <source>实验室名称：</source>
        <translation>Laboratory:</translation>
    </message>
    <message>
        <source>地址：</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>认可编号：</source>
        <translation>Accreditation no.:</translation>
    </message>
    <message>
        <source>证书编号格式：</source>
        <translation>Certificate number pattern:</translation>
    </message>
    <message>
        <source>签发人（姓名/职务）：</source>
        <translation>Signatory (name/role):</translation>
    </message>
    <message>
        <source>实验室</source>
        <translation>Laboratory</translation>
    </message>
    <message>
        <source>U 与温场数值可填一个值，或按温度的表“温度:值;温度:值”（如 -80:0.02;0:0.01）；日期格式 yyyy-MM-dd；标准器类型为 KORVA 5310A、干式炉-R、油槽-R 或 手动（序列号填“手动”）。</source>
        <translation>U and the source values take one value or a table over temperature "t:value;t:value" (e.g. -80:0.02;0:0.01); dates as yyyy-MM-dd; the kind of a standard is KORVA 5310A, 干式炉-R, 油槽-R or 手动 (serial number "手动").</translation>
    </message>
    <message>
        <source>添加行</source>
        <translation>Add row</translation>
    </message>
    <message>
        <source>删除行</source>
        <translation>Delete row</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>%1第%2行“%3”无效，未保存！</source>
        <translation>%1, row %2: "%3" is not valid; nothing saved!</translation>
    </message>
    <message>
        <source>记录已保存！</source>
        <translation>Records saved!</translation>
    </message>
    <message>
        <source>记录保存失败！</source>
        <translation>The records could not be saved!</translation>
    </message>
</context>
<context>
    <name>LiveTableModel</name>
    <message>
        <source>超出校准系数的有效范围（%1 ℃ ～ %2 ℃）</source>
        <translation>Outside the range of validity of the calibration (%1 ℃ to %2 ℃)</translation>
    </message>
</context>
<context>
    <name>Message</name>
    <message>
        <source>联系我们</source>
        <translation>Contact us</translation>
    </message>
    <message>
        <source>&lt;h3&gt;ARQ-310MX 开发者社区&lt;/h3&gt;&lt;p&gt;问题报告与功能建议请提交到项目的问题跟踪系统。&lt;/p&gt;&lt;p&gt;提交问题时请附上工作目录中当天的日志文件（log_日期.log）。&lt;/p&gt;</source>
        <translation>&lt;h3&gt;ARQ-310MX developer community&lt;/h3&gt;&lt;p&gt;Please report problems and suggest features in the project's issue tracker.&lt;/p&gt;&lt;p&gt;Attach the day's log file (log_date.log) from the working directory to a report.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>OnlineSession</name>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>Finish</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>设备连接失败,请退出重试！</source>
        <translation>Device connection failed, please exit and retry!</translation>
    </message>
    <message>
        <source>通道设置失败,请退出重试!</source>
        <translation>Channel setting failed, please exit and retry!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>写通道数据失败!</source>
        <translation>Writing channel data failed!</translation>
    </message>
    <message>
        <source>获取通道数据失败!</source>
        <translation>Getting channel data failed!</translation>
    </message>
    <message>
        <source>通讯异常，请设备关机重试！</source>
        <translation>Communication fault, please power the device off and retry!</translation>
    </message>
    <message>
        <source>开始等待中...</source>
        <translation>Waiting to start...</translation>
    </message>
    <message>
        <source>采集中...</source>
        <translation>Acquiring...</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>采集结束。</source>
        <translation>Acquisition finished.</translation>
    </message>
    <message>
        <source>数据库写入失败，数据暂存内存并重试！</source>
        <translation>Database write failed; the data is kept in memory and retried!</translation>
    </message>
    <message>
        <source>数据库文件已被删除，数据无法保存！</source>
        <translation>The database file was deleted; data cannot be saved!</translation>
    </message>
    <message>
        <source>提前终止采集。</source>
        <translation>Acquisition terminated early.</translation>
    </message>
    <message>
        <source>数据库写入已恢复，中断期间丢失%1次扫描的数据！</source>
        <translation>Database writes have resumed; the data of %1 scans were lost while they failed!</translation>
    </message>
    <message>
        <source>数据库写入失败，已丢失%1次扫描的数据！</source>
        <translation>Database writes are failing: the data of %1 scans have been lost!</translation>
    </message>
    <message>
        <source>数据库写入失败，%1次扫描的数据未存入数据库，暂存在文件%2中，下次启动程序时自动存入。</source>
        <translation>Database writes failed: %1 scans were not stored in the database. They are kept in the file %2 and are stored automatically the next time the program starts.</translation>
    </message>
    <message>
        <source>项目名称已存在！</source>
        <translation>The project name already exists!</translation>
    </message>
    <message>
        <source>项目信息保存失败，采集未开始！</source>
        <translation>The project record was not stored; the acquisition did not start!</translation>
    </message>
    <message>
        <source>实验室数据库服务器无响应，%1次扫描待存（最早 %2）</source>
        <translation>The lab database server does not answer; %1 scans wait to be stored (oldest %2)</translation>
    </message>
</context>
<context>
    <name>ParametersChannel</name>
    <message>
        <source>通道配置</source>
        <translation>Channel configuration</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>项目</source>
        <translation>Project</translation>
    </message>
    <message>
        <source>下一步</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>项目%1:未选择通道！</source>
        <translation>Project %1: no channel chosen!</translation>
    </message>
    <message>
        <source>项目%1:通道单位最多为两类！</source>
        <translation>Project %1: at most two kinds of channel unit!</translation>
    </message>
</context>
<context>
    <name>ParametersChart</name>
    <message>
        <source>实时数据</source>
        <translation>Live data</translation>
    </message>
    <message>
        <source>趋势图</source>
        <translation>Trend chart</translation>
    </message>
    <message>
        <source>采集时间</source>
        <translation>Acquisition time</translation>
    </message>
</context>
<context>
    <name>ParametersDisconnection</name>
    <message>
        <source>离线下载</source>
        <translation>Offline download</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Query</translation>
    </message>
    <message>
        <source>文件名称</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>下载数据</source>
        <translation>Download data</translation>
    </message>
    <message>
        <source>设置参数</source>
        <translation>Set parameters</translation>
    </message>
    <message>
        <source>保存数据</source>
        <translation>Save data</translation>
    </message>
    <message>
        <source>文件下载中，请稍等...</source>
        <translation>Downloading the file, please wait...</translation>
    </message>
    <message>
        <source>设备设置成功！</source>
        <translation>Devices set!</translation>
    </message>
    <message>
        <source>设备连接失败,请重试！</source>
        <translation>Device connection failed, please retry!</translation>
    </message>
    <message>
        <source>通道设置失败,请退出重试!</source>
        <translation>Setting the channels failed, please leave and retry!</translation>
    </message>
    <message>
        <source>设置自动保存失败!</source>
        <translation>Setting automatic logging failed!</translation>
    </message>
    <message>
        <source>触发设置失败!</source>
        <translation>Setting the trigger failed!</translation>
    </message>
    <message>
        <source>获取成功！</source>
        <translation>Fetched!</translation>
    </message>
    <message>
        <source>获取文件名失败,请重试！</source>
        <translation>Fetching the file names failed, please retry!</translation>
    </message>
    <message>
        <source>设备下载完成！</source>
        <translation>Download finished!</translation>
    </message>
    <message>
        <source>请先选中文件！</source>
        <translation>Select a file first!</translation>
    </message>
    <message>
        <source>下载失败，请重试！</source>
        <translation>Download failed, please retry!</translation>
    </message>
    <message>
        <source>写文件失败，请重试！</source>
        <translation>Writing the file failed, please retry!</translation>
    </message>
    <message>
        <source>脱机采集的扫描间隔须为整数秒，请修改设备的扫描间隔：</source>
        <translation>The offline scan interval must be a whole number of seconds; change the device's scan interval: </translation>
    </message>
    <message>
        <source>文件打开失败！</source>
        <translation>The file could not be opened!</translation>
    </message>
    <message>
        <source>未检测到通道！</source>
        <translation>No channels found!</translation>
    </message>
    <message>
        <source>通道不匹配！</source>
        <translation>The channels do not match!</translation>
    </message>
    <message>
        <source>未搜索到采集开始时间！</source>
        <translation>The start time of the acquisition was not found!</translation>
    </message>
    <message>
        <source>采集数据不匹配，未能保存数据！</source>
        <translation>The acquired data do not match; nothing was saved!</translation>
    </message>
    <message>
        <source>采集间隔不匹配，未能保存数据！</source>
        <translation>The scan interval does not match; nothing was saved!</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请在计划开始时间 %1 前后1秒内在仪器上启动扫描，否则无法保存数据。</source>
        <translation>Start the scan on the instrument within one second of the planned start, %1, or the data cannot be saved.</translation>
    </message>
    <message>
        <source>保存的数据截止于 %1，早于计划的最后一次扫描 %2。是否仍然保存？</source>
        <translation>The data end at %1, before the planned last scan at %2. Save anyway?</translation>
    </message>
    <message>
        <source>设备设置失败！</source>
        <translation>Setting the device failed!</translation>
    </message>
    <message>
        <source>操作已取消！</source>
        <translation>Cancelled.</translation>
    </message>
    <message>
        <source>设备%1：%2条记录</source>
        <translation>Device %1: %2 records</translation>
    </message>
    <message>
        <source>（下载中连接断开）</source>
        <translation> (link lost during the download)</translation>
    </message>
    <message>
        <source>这些数据无法保存：</source>
        <translation>These data cannot be saved: </translation>
    </message>
    <message>
        <source>保存数据的时间范围：%1 至 %2</source>
        <translation>The save will store %1 to %2</translation>
    </message>
    <message>
        <source>早于计划的最后一次扫描 %1！</source>
        <translation>This ends before the planned last scan at %1!</translation>
    </message>
    <message>
        <source>设备%1离开始时间最近的记录：%2</source>
        <translation>Device %1, record nearest the start: %2</translation>
    </message>
</context>
<context>
    <name>ParametersImport</name>
    <message>
        <source>数据导入</source>
        <translation>Data import</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>文件名：</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>Choose</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Choose file</translation>
    </message>
    <message>
        <source>该设备不支持数据导入：</source>
        <translation>This device does not support data import: </translation>
    </message>
    <message>
        <source>数据保存成功！</source>
        <translation>Data saved!</translation>
    </message>
    <message>
        <source>已存在同名项目，未保存任何数据：</source>
        <translation>A project of this name already exists; nothing was saved: </translation>
    </message>
    <message>
        <source>采集数据保存失败！</source>
        <translation>Saving the acquired data failed!</translation>
    </message>
    <message>
        <source>未检测到通道！</source>
        <translation>No channels found!</translation>
    </message>
    <message>
        <source>采集数据不匹配，未能保存数据！</source>
        <translation>The acquired data do not match; nothing was saved!</translation>
    </message>
    <message>
        <source>扫描间隔小于1秒，无法导入数据！</source>
        <translation>The scan interval is under 1 s; the data cannot be imported!</translation>
    </message>
    <message>
        <source>通道不匹配！</source>
        <translation>The channels do not match!</translation>
    </message>
    <message>
        <source>设备%1（%2），文件：%3</source>
        <translation>Device %1 (%2), file: %3</translation>
    </message>
    <message>
        <source>，时间：%1</source>
        <translation>, time: %1</translation>
    </message>
    <message>
        <source>内存不足，未保存任何数据！</source>
        <translation>Out of memory; no data were saved!</translation>
    </message>
</context>
<context>
    <name>ParametersMode</name>
    <message>
        <source>采集参数</source>
        <translation>Acquisition parameters</translation>
    </message>
    <message>
        <source>采集方式：</source>
        <translation>Acquisition mode:</translation>
    </message>
    <message>
        <source>项目个数：</source>
        <translation>Number of projects:</translation>
    </message>
    <message>
        <source>采集器个数：</source>
        <translation>Number of loggers:</translation>
    </message>
    <message>
        <source>项目信息1：</source>
        <translation>Project 1:</translation>
    </message>
    <message>
        <source>项目信息2：</source>
        <translation>Project 2:</translation>
    </message>
    <message>
        <source>项目信息3：</source>
        <translation>Project 3:</translation>
    </message>
    <message>
        <source>项目名称：</source>
        <translation>Project name:</translation>
    </message>
    <message>
        <source>采集器1：</source>
        <translation>Logger 1:</translation>
    </message>
    <message>
        <source>采集器2：</source>
        <translation>Logger 2:</translation>
    </message>
    <message>
        <source>采集器3：</source>
        <translation>Logger 3:</translation>
    </message>
    <message>
        <source>采集开始时间：</source>
        <translation>Start time:</translation>
    </message>
    <message>
        <source>采集结束时间：</source>
        <translation>End time:</translation>
    </message>
    <message>
        <source>下一步</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>项目信息未设置！</source>
        <translation>Project information not set!</translation>
    </message>
    <message>
        <source>项目名称相同！</source>
        <translation>Project names are equal!</translation>
    </message>
    <message>
        <source>数据库连接失败！</source>
        <translation>Database connection failed!</translation>
    </message>
    <message>
        <source>项目名称已存在！</source>
        <translation>Project name already exists!</translation>
    </message>
    <message>
        <source>开始采集时间大于结束采集时间！</source>
        <translation>The start time is later than the end time!</translation>
    </message>
    <message>
        <source>未选择采集设备！</source>
        <translation>No acquisition device chosen!</translation>
    </message>
    <message>
        <source>采集设备不能相同！</source>
        <translation>The acquisition devices must differ!</translation>
    </message>
    <message>
        <source>所选采集设备不支持脱机采集！</source>
        <translation>A chosen acquisition device does not support offline acquisition!</translation>
    </message>
    <message>
        <source>采集设备%1的通道配置“%2”不存在，请重新设置该设备！</source>
        <translation>The channel configuration "%2" of acquisition device %1 no longer exists; set the device up again!</translation>
    </message>
    <message>
        <source>采集设备参数将以第一台设备为准！</source>
        <translation>The acquisition parameters follow the first device!</translation>
    </message>
    <message>
        <source>记录数据</source>
        <translation>Record data</translation>
    </message>
    <message>
        <source>不勾选时在线采集只显示数据和报警，不保存项目和数据</source>
        <translation>When cleared, an online run only shows readings and alarms; no project or data is stored</translation>
    </message>
    <message>
        <source>脱机采集：请在采集开始时间前后1秒内在仪器上启动扫描，否则下载的数据无法保存。</source>
        <translation>Offline run: start the scan on the instrument within one second of the start time, or the downloaded data cannot be saved.</translation>
    </message>
</context>
<context>
    <name>ParametersOnLine</name>
    <message>
        <source>数据采集</source>
        <translation>Data Acquisition</translation>
    </message>
    <message>
        <source>消息：</source>
        <translation>Message:</translation>
    </message>
    <message>
        <source>正在连接设备...</source>
        <translation>Connecting devices...</translation>
    </message>
    <message>
        <source>项目%1结果</source>
        <translation>Project %1 Results</translation>
    </message>
    <message>
        <source>项目%1统计</source>
        <translation>Project %1 Statistics</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>是否保存采集数据？</source>
        <translation>Save the acquired data?</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>不保存</source>
        <translation>Don't Save</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>是否终止项目？</source>
        <translation>Terminate the project?</translation>
    </message>
    <message>
        <source>终止</source>
        <translation>Terminate</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>正在采集中，请先结束！</source>
        <translation>Acquisition is running, please finish it first!</translation>
    </message>
    <message>
        <source>数据采集（不记录）</source>
        <translation>Data acquisition (not recorded)</translation>
    </message>
    <message>
        <source>是否停止采集？</source>
        <translation>Stop the acquisition?</translation>
    </message>
</context>
<context>
    <name>ParametersStatistics</name>
    <message>
        <source>统计</source>
        <translation>Statistics</translation>
    </message>
    <message>
        <source>最大值</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>最大值通道</source>
        <translation>Channel of maximum</translation>
    </message>
    <message>
        <source>最小值</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>最小值通道</source>
        <translation>Channel of minimum</translation>
    </message>
    <message>
        <source>平均值</source>
        <translation>Average</translation>
    </message>
    <message>
        <source>最大-最小</source>
        <translation>Max - min</translation>
    </message>
    <message>
        <source>最大-平均</source>
        <translation>Max - avg</translation>
    </message>
    <message>
        <source>平均-最小</source>
        <translation>Avg - min</translation>
    </message>
    <message>
        <source>标准差</source>
        <translation>Std. deviation</translation>
    </message>
    <message>
        <source>采集时间</source>
        <translation>Acquisition time</translation>
    </message>
</context>
<context>
    <name>ParametersTemp</name>
    <message>
        <source>通道确认</source>
        <translation>Channel check</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>QWaiting</name>
    <message>
        <source>参数设置中，请稍等...</source>
        <translation>Setting parameters, please wait...</translation>
    </message>
</context>
<context>
    <name>ReportCsv</name>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
</context>
<context>
    <name>ReportFailure</name>
    <message>
        <source>磁盘空间不足。</source>
        <translation>The disk is full.</translation>
    </message>
    <message>
        <source>没有写入权限，或文件正被其他程序打开。</source>
        <translation>No permission to write, or the file is open in another program.</translation>
    </message>
    <message>
        <source>保存位置是只读的。</source>
        <translation>The save location is read-only.</translation>
    </message>
    <message>
        <source>保存路径不存在。</source>
        <translation>The folder to save in does not exist.</translation>
    </message>
    <message>
        <source>保存路径是一个文件夹。</source>
        <translation>The path is a folder.</translation>
    </message>
    <message>
        <source>文件正被其他程序使用。</source>
        <translation>The file is in use by another program.</translation>
    </message>
    <message>
        <source>内存不足。</source>
        <translation>Out of memory.</translation>
    </message>
    <message>
        <source>磁盘读写错误。</source>
        <translation>Disk read/write error.</translation>
    </message>
    <message>
        <source>文件名过长。</source>
        <translation>The file name is too long.</translation>
    </message>
    <message>
        <source>系统错误：%1</source>
        <translation>System error: %1</translation>
    </message>
    <message>
        <source>写入文件失败。</source>
        <translation>Writing the file failed.</translation>
    </message>
    <message>
        <source>写入文件失败：%1</source>
        <translation>Writing the file failed: %1</translation>
    </message>
    <message>
        <source>无法创建工作簿文件。</source>
        <translation>The workbook file could not be created.</translation>
    </message>
    <message>
        <source>临时文件夹无法写入或已满。</source>
        <translation>The temporary folder cannot be written or is full.</translation>
    </message>
    <message>
        <source>写入工作簿失败，磁盘可能已满。</source>
        <translation>Writing the workbook failed; the disk may be full.</translation>
    </message>
    <message>
        <source>写入工作簿失败（错误 %1）。</source>
        <translation>Writing the workbook failed (error %1).</translation>
    </message>
    <message>
        <source>未选择保存路径。</source>
        <translation>No path chosen to save to.</translation>
    </message>
    <message>
        <source>文件是只读的，或正被其他程序打开。</source>
        <translation>The file is read-only or open in another program.</translation>
    </message>
</context>
<context>
    <name>ReportStats</name>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>最大</source>
        <translation>Max </translation>
    </message>
    <message>
        <source>通道</source>
        <translation> channel</translation>
    </message>
    <message>
        <source>最小</source>
        <translation>Min </translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Mean </translation>
    </message>
    <message>
        <source>最大-平均</source>
        <translation>Max − mean</translation>
    </message>
    <message>
        <source>平均-最小</source>
        <translation>Mean − min</translation>
    </message>
    <message>
        <source>最大-最小</source>
        <translation>Max − min</translation>
    </message>
    <message>
        <source>标准偏差</source>
        <translation>Std. deviation</translation>
    </message>
    <message>
        <source>最小平均</source>
        <translation>Lowest mean </translation>
    </message>
    <message>
        <source>及通道</source>
        <translation> and channel</translation>
    </message>
    <message>
        <source>最大的最大值与全均值之差</source>
        <translation>Highest max − overall mean</translation>
    </message>
    <message>
        <source>最大平均</source>
        <translation>Highest mean </translation>
    </message>
    <message>
        <source>最大平均值与全均值之差</source>
        <translation>Highest mean − overall mean</translation>
    </message>
    <message>
        <source>最大的最大值及通道</source>
        <translation>Highest max and channel</translation>
    </message>
    <message>
        <source>全均值与最小的最小值之差</source>
        <translation>Overall mean − lowest min</translation>
    </message>
    <message>
        <source>最小的最小值及通道</source>
        <translation>Lowest min and channel</translation>
    </message>
    <message>
        <source>全均值与最小平均值之差</source>
        <translation>Overall mean − lowest mean</translation>
    </message>
    <message>
        <source>全均值</source>
        <translation>Overall mean</translation>
    </message>
    <message>
        <source>数据表</source>
        <translation>Data table</translation>
    </message>
    <message>
        <source>横向表</source>
        <translation> horizontal table</translation>
    </message>
    <message>
        <source>竖向表</source>
        <translation> vertical table</translation>
    </message>
    <message>
        <source>注：以下通道的单位不属于两个分析组，未列入分析表：%1</source>
        <translation>Note: these channels have a unit of neither analysis group and are left out of the analysis tables: %1</translation>
    </message>
</context>
<context>
    <name>SystemSet</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>备份设置</source>
        <translation>Backup settings</translation>
    </message>
    <message>
        <source>自动备份</source>
        <translation>Automatic backup</translation>
    </message>
    <message>
        <source>备份周期：</source>
        <translation>Backup period:</translation>
    </message>
    <message>
        <source>天</source>
        <translation>days</translation>
    </message>
    <message>
        <source>备份路径：</source>
        <translation>Backup path:</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>Choose</translation>
    </message>
    <message>
        <source>备份</source>
        <translation>Back up</translation>
    </message>
    <message>
        <source>恢复</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>系统参数</source>
        <translation>System parameters</translation>
    </message>
    <message>
        <source>语言：</source>
        <translation>Language:</translation>
    </message>
    <message>
        <source>数据精度：</source>
        <translation>Decimal places:</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>备份周期不能为0！</source>
        <translation>The backup period cannot be 0!</translation>
    </message>
    <message>
        <source>备份路径不存在！</source>
        <translation>The backup path does not exist!</translation>
    </message>
    <message>
        <source>选择目录</source>
        <translation>Choose directory</translation>
    </message>
    <message>
        <source>请选择备份路径！</source>
        <translation>Please choose a backup path!</translation>
    </message>
    <message>
        <source>备份失败：路径不存在！</source>
        <translation>Backup failed: the path does not exist!</translation>
    </message>
    <message>
        <source>备份成功！</source>
        <translation>Backup succeeded!</translation>
    </message>
    <message>
        <source>备份失败！</source>
        <translation>Backup failed!</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Choose file</translation>
    </message>
    <message>
        <source>恢复失败！</source>
        <translation>Restore failed!</translation>
    </message>
    <message>
        <source>恢复成功！</source>
        <translation>Restore succeeded!</translation>
    </message>
    <message>
        <source>设置成功！</source>
        <translation>Settings saved!</translation>
    </message>
    <message>
        <source>设置失败！</source>
        <translation>Saving the settings failed!</translation>
    </message>
    <message>
        <source>未找到 %1，无法备份实验室数据库服务器（Debian：安装 postgresql-client）！</source>
        <translation>%1 not found: the lab's database server cannot be backed up (Debian: install postgresql-client)!</translation>
    </message>
    <message>
        <source>未找到 %1，无法恢复实验室数据库服务器（Debian：安装 postgresql-client）！</source>
        <translation>%1 not found: the lab's database server cannot be restored (Debian: install postgresql-client)!</translation>
    </message>
    <message>
        <source>实验室数据库中已有记录，只能恢复到空数据库！</source>
        <translation>The lab database already holds records; a backup can only be restored into an empty database!</translation>
    </message>
    <message>
        <source>另有%1个连接正在使用实验室数据库，请先关闭其他工作站的程序再恢复！</source>
        <translation>%1 other connections are using the lab database; close the program on the other benches before restoring!</translation>
    </message>
</context>
<context>
    <name>Tervan</name>
    <message>
        <source>本 Windows 版本不支持实验室数据库服务器（database.ini 中 engine=postgresql），请使用 Linux 版本</source>
        <translation>This Windows version does not support the lab database server (engine=postgresql in database.ini); use the Linux version</translation>
    </message>
    <message>
        <source>打开数据库失败！</source>
        <translation>Opening the database failed!</translation>
    </message>
    <message>
        <source>系统设置</source>
        <translation>System settings</translation>
    </message>
    <message>
        <source>通道参数</source>
        <translation>Channel parameters</translation>
    </message>
    <message>
        <source>采集设备</source>
        <translation>Acquisition devices</translation>
    </message>
    <message>
        <source>查看警告信息</source>
        <translation>View warning messages</translation>
    </message>
    <message>
        <source>数据验证</source>
        <translation>Data verification</translation>
    </message>
    <message>
        <source>验证报告</source>
        <translation>Verification report</translation>
    </message>
    <message>
        <source>通道校准</source>
        <translation>Channel calibration</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>设备管理</source>
        <translation>Device management</translation>
    </message>
    <message>
        <source>数据采集</source>
        <translation>Data acquisition</translation>
    </message>
    <message>
        <source>报告管理</source>
        <translation>Report management</translation>
    </message>
    <message>
        <source>通知管理</source>
        <translation>Notification management</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>采集报告</source>
        <translation>Acquisition report</translation>
    </message>
    <message>
        <source>查看通知</source>
        <translation>View notifications</translation>
    </message>
    <message>
        <source>下载通知</source>
        <translation>Download notifications</translation>
    </message>
    <message>
        <source>删除通知</source>
        <translation>Delete notifications</translation>
    </message>
    <message>
        <source>高级设置</source>
        <translation>Advanced settings</translation>
    </message>
    <message>
        <source>帮助文档</source>
        <translation>Help document</translation>
    </message>
    <message>
        <source>联系我们</source>
        <translation>Contact us</translation>
    </message>
    <message>
        <source>关于软件</source>
        <translation>About</translation>
    </message>
    <message>
        <source>ARQ-310MX %1 · 开源软件 · GPL-3.0</source>
        <translation>ARQ-310MX %1 · open-source software · GPL-3.0</translation>
    </message>
    <message>
        <source>正在校准中！</source>
        <translation>Calibrating!</translation>
    </message>
    <message>
        <source>设备操作进行中，请稍候！</source>
        <translation>A device operation is in progress, please wait!</translation>
    </message>
    <message>
        <source>请先选择需要下载的通知!</source>
        <translation>Select the notifications to download first!</translation>
    </message>
    <message>
        <source>请先选择需要删除的通知!</source>
        <translation>Select the notifications to delete first!</translation>
    </message>
    <message>
        <source>请先选择需要设置的通知!</source>
        <translation>Select the notifications to configure first!</translation>
    </message>
    <message>
        <source>退出程序</source>
        <translation>Exit program</translation>
    </message>
    <message>
        <source>确认退出程序</source>
        <translation>Confirm exit</translation>
    </message>
    <message>
        <source>yyyy年MM月dd日 hh:mm:ss</source>
        <translation>yyyy-MM-dd hh:mm:ss</translation>
    </message>
    <message>
        <source>无法打开帮助文档：没有找到能显示它的浏览器。请安装网页浏览器，或直接打开文件 %1。</source>
        <translation>The help document could not be opened: no web browser was found to show it. Install a web browser, or open the file %1 directly.</translation>
    </message>
    <message>
        <source>标准器记录</source>
        <translation>Lab records</translation>
    </message>
    <message>
        <source>校准证书</source>
        <translation>Certificates</translation>
    </message>
    <message>
        <source>无法连接实验室数据库服务器：
%1
是否改用本机数据库文件？</source>
        <translation>Cannot connect to the lab's database server:
%1
Work on this computer's database file instead?</translation>
    </message>
    <message>
        <source>实验室数据库服务器无响应：%1项待存</source>
        <translation>Lab database server not answering: %1 writes waiting</translation>
    </message>
    <message>
        <source>，最早未存扫描 %1</source>
        <translation>, oldest unsaved scan %1</translation>
    </message>
    <message>
        <source>实验室数据库服务器不可达，本次使用本机数据库文件</source>
        <translation>Lab database server out of reach: this session works on the bench's own file</translation>
    </message>
</context>
<context>
    <name>VerificationReport</name>
    <message>
        <source>查询</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>项目列表</source>
        <translation>Projects</translation>
    </message>
    <message>
        <source>报表生成</source>
        <translation>Generate report</translation>
    </message>
    <message>
        <source>时间轴-标注线设置：</source>
        <translation>Time-axis tag line:</translation>
    </message>
    <message>
        <source>备注：</source>
        <translation>Remark:</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>时间设置：</source>
        <translation>Time range:</translation>
    </message>
    <message>
        <source>设定</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>左轴设置：</source>
        <translation>Left axis:</translation>
    </message>
    <message>
        <source>右轴设置：</source>
        <translation>Right axis:</translation>
    </message>
    <message>
        <source>查看项目</source>
        <translation>View project</translation>
    </message>
    <message>
        <source>删除项目</source>
        <translation>Delete project</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>当前项目没有采集的数据!</source>
        <translation>This project has no acquired data!</translation>
    </message>
    <message>
        <source>项目名称:</source>
        <translation>Project: </translation>
    </message>
    <message>
        <source>创建时间:</source>
        <translation>Created: </translation>
    </message>
    <message>
        <source>使用的采集设备</source>
        <translation>Acquisition devices used</translation>
    </message>
    <message>
        <source>型号：</source>
        <translation>Models: </translation>
    </message>
    <message>
        <source>序列号：</source>
        <translation>Serial numbers: </translation>
    </message>
    <message>
        <source>通讯方式：</source>
        <translation>Links: </translation>
    </message>
    <message>
        <source>IP/COM：</source>
        <translation>IP/COM: </translation>
    </message>
    <message>
        <source>Port/BaudRate：</source>
        <translation>Port/baud rate: </translation>
    </message>
    <message>
        <source>扫描间隔：</source>
        <translation>Scan interval: </translation>
    </message>
    <message>
        <source>扫描速率：</source>
        <translation>Scan rate: </translation>
    </message>
    <message>
        <source>通道文件名：</source>
        <translation>Channel configurations: </translation>
    </message>
    <message>
        <source>通道数量：</source>
        <translation>Channel count: </translation>
    </message>
    <message>
        <source>相关参数</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>数据采集开始时间：</source>
        <translation>Acquisition start: </translation>
    </message>
    <message>
        <source>数据采集终止时间：</source>
        <translation>Acquisition end: </translation>
    </message>
    <message>
        <source>通道编号：</source>
        <translation>Channels: </translation>
    </message>
    <message>
        <source>通道单位：</source>
        <translation>Channel units: </translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>备注信息不能为空!</source>
        <translation>The remark must not be empty!</translation>
    </message>
    <message>
        <source>备注信息数超限!</source>
        <translation>The remark is too long!</translation>
    </message>
    <message>
        <source>添加标注线超量!</source>
        <translation>Too many tag lines!</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>数据导出中，请稍等...</source>
        <translation>Exporting data, please wait...</translation>
    </message>
    <message>
        <source>报表生成已取消。</source>
        <translation>Report cancelled; no file was written.</translation>
    </message>
    <message>
        <source>报表生成成功!</source>
        <translation>Report generated!</translation>
    </message>
    <message>
        <source>数据异常，生成报表失败!</source>
        <translation>Data error, the report could not be generated!</translation>
    </message>
    <message>
        <source>请先选择需要删除的项目!</source>
        <translation>Select the project to delete first!</translation>
    </message>
    <message>
        <source>确定删除项目 %1？</source>
        <translation>Delete project %1 and all its data?</translation>
    </message>
    <message>
        <source>删除数据失败!</source>
        <translation>Deleting the data failed!</translation>
    </message>
    <message>
        <source>报表已生成，但未找到中文字体：PDF中的中文显示为方框。请安装中文字体（如 fonts-noto-cjk）后重新生成。</source>
        <translation>The report was written, but no Chinese font was found: Chinese text in the PDF shows as empty boxes. Install a Chinese font (such as fonts-noto-cjk) and write the report again.</translation>
    </message>
</context>
<context>
    <name>VerificationReportExcel</name>
    <message>
        <source>开始</source>
        <translation>start</translation>
    </message>
    <message>
        <source>开始时间：</source>
        <translation>Start time:</translation>
    </message>
    <message>
        <source>结束时间：</source>
        <translation>End time:</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>end</translation>
    </message>
    <message>
        <source>第 &amp;P 页，共 &amp;N 页</source>
        <translation>Page &amp;P of &amp;N</translation>
    </message>
    <message>
        <source>首页</source>
        <translation>Cover</translation>
    </message>
    <message>
        <source>采集报告</source>
        <translation>Acquisition Report</translation>
    </message>
    <message>
        <source>打印时间：</source>
        <translation>Printed: </translation>
    </message>
    <message>
        <source>项目名称:</source>
        <translation>Project name: </translation>
    </message>
    <message>
        <source>项目时间:</source>
        <translation>Project time: </translation>
    </message>
    <message>
        <source>设备列表:</source>
        <translation>Device list:</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>设备型号</source>
        <translation>Device model</translation>
    </message>
    <message>
        <source>设备序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>通道文件</source>
        <translation>Channel file</translation>
    </message>
    <message>
        <source>通道个数</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>报告概述:</source>
        <translation>Report overview:</translation>
    </message>
    <message>
        <source>趋势图:</source>
        <translation>Trend chart:</translation>
    </message>
    <message>
        <source>工作数据表</source>
        <translation>Working data</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>横向分析表</source>
        <translation> horizontal analysis</translation>
    </message>
    <message>
        <source>竖向分析表</source>
        <translation> vertical analysis</translation>
    </message>
    <message>
        <source>采集信息:</source>
        <translation>Acquisition:</translation>
    </message>
    <message>
        <source>采集开始时间：</source>
        <translation>Acquisition start: </translation>
    </message>
    <message>
        <source>采集结束时间：</source>
        <translation>Acquisition end: </translation>
    </message>
    <message>
        <source>扫描间隔：</source>
        <translation>Scan interval: </translation>
    </message>
    <message>
        <source>打印间隔：</source>
        <translation>Print interval: </translation>
    </message>
    <message>
        <source>统计时间段:</source>
        <translation>Segments:</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>结束时间</source>
        <translation>End time</translation>
    </message>
    <message>
        <source>通道列表:</source>
        <translation>Channels:</translation>
    </message>
    <message>
        <source>共 %1 个通道</source>
        <translation>%1 channels in all</translation>
    </message>
</context>
<context>
    <name>VerificationReportExport</name>
    <message>
        <source>报表生成</source>
        <translation>Generate report</translation>
    </message>
    <message>
        <source>导出数据</source>
        <translation>Export data</translation>
    </message>
    <message>
        <source>功能表页：</source>
        <translation>Tables:</translation>
    </message>
    <message>
        <source>数据表</source>
        <translation>Data table</translation>
    </message>
    <message>
        <source>导出格式:</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>多段统计</source>
        <translation>Segmented statistics</translation>
    </message>
    <message>
        <source>统计段数：</source>
        <translation>Segments:</translation>
    </message>
    <message>
        <source>打印间隔：</source>
        <translation>Print interval:</translation>
    </message>
    <message>
        <source>时间段：</source>
        <translation>Segment:</translation>
    </message>
    <message>
        <source>备注：</source>
        <translation>Remark:</translation>
    </message>
    <message>
        <source>保存路径：</source>
        <translation>Save to:</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>Choose</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>横向分析表</source>
        <translation> horizontal analysis</translation>
    </message>
    <message>
        <source>竖向分析表</source>
        <translation> vertical analysis</translation>
    </message>
    <message>
        <source>路径设置错误!</source>
        <translation>The file path is wrong!</translation>
    </message>
    <message>
        <source>备注信息不能为空!</source>
        <translation>The remark must not be empty!</translation>
    </message>
    <message>
        <source>开始时间小于开始采集时间!</source>
        <translation>The start is before the acquisition start!</translation>
    </message>
    <message>
        <source>结束时间大于结束采集时间!</source>
        <translation>The end is after the acquisition end!</translation>
    </message>
    <message>
        <source>分段时间错误!</source>
        <translation>The segment times are out of order!</translation>
    </message>
    <message>
        <source>采集间隔设置错误!</source>
        <translation>The print interval is wrong!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation>Save file</translation>
    </message>
    <message>
        <source>仅数据表，UTF-8 编码的逗号分隔文件</source>
        <translation>Data table only, a comma-separated file in UTF-8</translation>
    </message>
</context>
<context>
    <name>VerificationReportPDF</name>
    <message>
        <source>采集报告</source>
        <translation>Acquisition Report</translation>
    </message>
    <message>
        <source>打印时间：</source>
        <translation>Printed: </translation>
    </message>
    <message>
        <source>第%1页,共%2页</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message>
        <source>项目名称:</source>
        <translation>Project name: </translation>
    </message>
    <message>
        <source>项目时间:</source>
        <translation>Project time: </translation>
    </message>
    <message>
        <source>报告概述:</source>
        <translation>Report overview:</translation>
    </message>
    <message>
        <source>设备列表:</source>
        <translation>Device list:</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>设备型号</source>
        <translation>Device model</translation>
    </message>
    <message>
        <source>设备序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>通道文件</source>
        <translation>Channel file</translation>
    </message>
    <message>
        <source>通道个数</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>开始时间：</source>
        <translation>Start time:</translation>
    </message>
    <message>
        <source>结束时间：</source>
        <translation>End time:</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>start</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>end</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>工作数据表</source>
        <translation>Working data</translation>
    </message>
    <message>
        <source>横向分析表</source>
        <translation> horizontal analysis</translation>
    </message>
    <message>
        <source>竖向分析表</source>
        <translation> vertical analysis</translation>
    </message>
    <message>
        <source>无法开始绘制PDF文件。</source>
        <translation>The PDF file could not be started.</translation>
    </message>
    <message>
        <source>采集时间：</source>
        <translation>Acquisition: </translation>
    </message>
    <message>
        <source> 至 </source>
        <translation> to </translation>
    </message>
    <message>
        <source>扫描间隔：</source>
        <translation>Scan interval: </translation>
    </message>
    <message>
        <source>打印间隔：</source>
        <translation>Print interval: </translation>
    </message>
    <message>
        <source>统计时间段:</source>
        <translation>Segments:</translation>
    </message>
    <message>
        <source>通道列表:</source>
        <translation>Channels:</translation>
    </message>
    <message>
        <source>共 %1 个通道</source>
        <translation>%1 channels in all</translation>
    </message>
    <message>
        <source>（另有 %1 个）</source>
        <translation> (and %1 more)</translation>
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
        <translation>Type</translation>
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
        <translation>Type:</translation>
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
    <message>
        <source>保存文件</source>
        <translation>Save file</translation>
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
    <message>
        <source>请先输入邮件地址！</source>
        <translation>Enter a mail address first!</translation>
    </message>
    <message>
        <source>邮件发送失败：</source>
        <translation>Sending the mail failed: </translation>
    </message>
    <message>
        <source>部分收件人未收到邮件：</source>
        <translation>Some recipients did not get the mail: </translation>
    </message>
</context>
<context>
    <name>Vocabulary</name>
    <message>
        <source>快速</source>
        <translation>Fast</translation>
    </message>
    <message>
        <source>中速</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>慢速</source>
        <translation>Slow</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>网络</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>蓝牙</source>
        <translation>Bluetooth</translation>
    </message>
    <message>
        <source>手动</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>热电偶</source>
        <translation>Thermocouple</translation>
    </message>
    <message>
        <source>热电阻</source>
        <translation>RTD</translation>
    </message>
    <message>
        <source>铂电阻</source>
        <translation>Platinum RTD</translation>
    </message>
    <message>
        <source>热敏电阻</source>
        <translation>Thermistor</translation>
    </message>
    <message>
        <source>直流电压</source>
        <translation>DC voltage</translation>
    </message>
    <message>
        <source>交流电压</source>
        <translation>AC voltage</translation>
    </message>
    <message>
        <source>直流电流</source>
        <translation>DC current</translation>
    </message>
    <message>
        <source>交流电流</source>
        <translation>AC current</translation>
    </message>
    <message>
        <source>电阻</source>
        <translation>Resistance</translation>
    </message>
    <message>
        <source>频率</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>空</source>
        <translation>None</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>湿度</source>
        <translation>Humidity</translation>
    </message>
    <message>
        <source>压力</source>
        <translation>Pressure</translation>
    </message>
    <message>
        <source>电压</source>
        <translation>Voltage</translation>
    </message>
    <message>
        <source>电流</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>其他</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>二线制</source>
        <translation>2-wire</translation>
    </message>
    <message>
        <source>三线制</source>
        <translation>3-wire</translation>
    </message>
    <message>
        <source>四线制</source>
        <translation>4-wire</translation>
    </message>
    <message>
        <source>内部补偿</source>
        <translation>Internal CJC</translation>
    </message>
    <message>
        <source>固定冷端</source>
        <translation>Fixed cold junction</translation>
    </message>
    <message>
        <source>油槽</source>
        <translation>Bath</translation>
    </message>
    <message>
        <source>油槽-R</source>
        <translation>Bath (with reference)</translation>
    </message>
    <message>
        <source>干式炉</source>
        <translation>Dry block</translation>
    </message>
    <message>
        <source>干式炉-R</source>
        <translation>Dry block (with reference)</translation>
    </message>
    <message>
        <source>在线</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>脱机</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>通讯异常</source>
        <translation>Communication fault</translation>
    </message>
    <message>
        <source>数据库异常</source>
        <translation>Database fault</translation>
    </message>
    <message>
        <source>上限报警</source>
        <translation>High alarm</translation>
    </message>
    <message>
        <source>下限报警</source>
        <translation>Low alarm</translation>
    </message>
    <message>
        <source>设备重新连接。</source>
        <translation>Device reconnected.</translation>
    </message>
    <message>
        <source>进入手动重连模式！</source>
        <translation>Manual reconnection mode entered!</translation>
    </message>
    <message>
        <source>手动重连成功！</source>
        <translation>Manual reconnection succeeded!</translation>
    </message>
    <message>
        <source>设备%1-%2 通道%3低于下限:%4</source>
        <translation>Device %1-%2 channel %3 below low limit: %4</translation>
    </message>
    <message>
        <source>设备%1-%2 通道%3高于上限:%4</source>
        <translation>Device %1-%2 channel %3 above high limit: %4</translation>
    </message>
    <message>
        <source>数据库写入中断期间丢失%1次扫描的数据（%2行）。</source>
        <translation>%1 scans (%2 rows) lost while database writes were interrupted.</translation>
    </message>
    <message>
        <source>校准系数</source>
        <translation>Calibration coefficients</translation>
    </message>
</context>
</TS>
