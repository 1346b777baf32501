#!/usr/bin/env python3
"""Writes first-release.db3: a database as the program's first release left it
(the six installed tables and the calibration run tables, no indexes, none of
the later evidence, certificate or lab tables), with a little of everything.

    python3 tests/store/data/make_first_release.py tests/store/data/first-release.db3
"""
import os, sqlite3, sys

path = sys.argv[1]
if os.path.exists(path):
    os.remove(path)
db = sqlite3.connect(path)
db.executescript("""
CREATE TABLE AcquisitionDevice(Number TEXT, Mode TEXT, SerialNumber TEXT, ScanInterval TEXT, ScanRate TEXT,
  ChannelConfig TEXT, SignalMode TEXT, IP_COM TEXT, Port_BaudRate TEXT);
CREATE TABLE ChannelConfig(Name TEXT, Time TEXT, Mode TEXT, Module TEXT, Number TEXT, ChannelNumber TEXT, Tag TEXT,
  Type TEXT, Function TEXT, Wire TEXT, [MX+B_M] TEXT, [MX+B_B] TEXT, A_C0 TEXT, B_C1 TEXT, C_C2 TEXT, D_C3 TEXT,
  R0_C4 TEXT, A4_C5 TEXT, B4_C6 TEXT, Unit TEXT, CompensationWay TEXT, ColdJunctionTemp TEXT, LowState TEXT,
  Low TEXT, HightState TEXT, Hight TEXT);
CREATE TABLE AuditLog(Time TEXT, Type TEXT, Details TEXT);
CREATE TABLE Parameters(Name TEXT, Time TEXT, Start TEXT, End TEXT, DeviceNumber TEXT, DeviceMode TEXT,
  SerialNumber TEXT, ScanInterval TEXT, ScanRate TEXT, SignalMode TEXT, IP_COM TEXT, Port_BaudRate TEXT,
  ChannelConfig TEXT, Channel TEXT, Unit TEXT);
CREATE TABLE ParametersData(Name TEXT, Time TEXT, Data TEXT);
CREATE TABLE SystemSet(Name TEXT PRIMARY KEY NOT NULL, Data TEXT);
CREATE TABLE ChannelCalibration(Name TEXT PRIMARY KEY UNIQUE NOT NULL, Data TEXT);
CREATE TABLE ChannelCalibrationData(StartTime TEXT PRIMARY KEY UNIQUE NOT NULL, ChannelName TEXT,ChannelMode TEXT,
  CollectionName TEXT,ChannelNumber TEXT, CalibrationCriteria TEXT,CalibrationData1 TEXT,CalibrationData2 TEXT,
  CalibrationData3 TEXT,CalibrationData4 TEXT,CalibrationData5 TEXT, CalibrationData6 TEXT,CalibrationData7 TEXT,
  CalibrationData8 TEXT,CalibrationData9 TEXT);
""")
db.execute("INSERT INTO AcquisitionDevice VALUES ('1','3107A-TC','TC0042','1','快速','炉''口_%','网络','192.168.1.20','5000')")
db.execute("INSERT INTO ChannelConfig VALUES ('炉''口_%','2025-05-06 09:00:00','3107A-TC','1,0,0,0,0,0','2','101,102',"
           "'CH101,CH102','热电偶,热电偶','K,K','二线制,二线制','1.0021,0.9987','-0.31,0.25','0,0','0,0','0,0','0,0',"
           "'0,0','0,0','0,0','℃,℃','内部补偿','0','false,false','0,0','false,false','0,0')")
db.execute("INSERT INTO Parameters VALUES ('稳定性 2025-05','2025-05-06 10:00:00','2025-05-06 10:00:00',"
           "'2025-05-06 10:00:09','1','3107A-TC','TC0042','1','快速','网络','192.168.1.20','5000','炉''口_%',"
           "'1_101,1_102','℃,℃')")
for i in range(10):
    db.execute("INSERT INTO ParametersData VALUES (?,?,?)",
               ('稳定性 2025-05', '2025-05-06 10:00:%02d.000' % i, '%.3f,%.3f' % (100 + i * 0.01, 99.9 + i * 0.01)))
db.execute("INSERT INTO AuditLog VALUES ('2025-05-06 10:00:00','采集','项目 稳定性 2025-05 开始')")
db.execute("INSERT INTO SystemSet VALUES ('DataAccuracy','3')")
db.execute("INSERT INTO ChannelCalibration VALUES ('Temp1','100')")
db.execute("INSERT INTO ChannelCalibrationData VALUES ('2025-05-05 08:00:00','炉''口_%,','热电偶',"
           "'1-炉''口_%,,','1_101,1_102','100.0100;300.0200','99.80,100.10','299.50,300.40','','','','','','','')")
db.commit()
db.close()
