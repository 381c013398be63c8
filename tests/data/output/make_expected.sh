#!/usr/bin/env bash
# Writes the expected HTML pages for the small model of tests/output (see html_doc_test.cpp):
# title "社員 & 部署"; tables 社員, "A&B <x>#1" and EMPTY. Every line below is one fragment of a
# page, blanks included; a page is its lines joined, in CP932, plus CR LF.
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)/expected
mkdir -p "$out"
page() { tr -d '\n' | iconv -f UTF-8 -t CP932 > "$out/$1"; printf '\r\n' >> "$out/$1"; }

page index.htm <<'X'
<html> 
<head> 
<title>
社員 &amp; 部署
</title> 
<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"> 
</head> 
<frameset cols="258,*" frameborder="YES" border="1" framespacing="1" rows="*">  
  <frame name="leftFrame" noresize src="leftframe.htm" scrolling="AUTO"> 
  <frame name="mainFrame" src="rightframe.htm" scrolling="AUTO"> 
</frameset> 
<noframes><body bgcolor="#FFFFFF" text="#000000"> 
</body></noframes> 
</html> 
X

page rightframe.htm <<'X'
<html> 
<head> 
<title>
社員 &amp; 部署
</title> 
<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"> 
</head> 
<body bgcolor="#FFFFFF" text="#996699" link="#3333FF" alink="#0000CC" vlink="#333366"> 
<p align="left"><font size="4"><b><NOBR>
社員 &amp; 部署
</NOBR></b></font></p> 
<p><b><font size="4"><a href="https://xlsdb.example.org/">https://xlsdb.example.org/  
  </a></font></b></p> 
</body> 
</html> 
X

page 社員.htm <<'X'
<html> 
<head> 
<title>
社員
</title> 
<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"> 
</head> 
<body bgcolor="#FFFFFF" text="#000000"> 
<table width="400" border="2" cellspacing="0" cellpadding="2"> 
  <tr bgcolor="#6633CC" align="center">  
    <td align="center" colspan="5">  
      <div align="left"><font size="3" color="#FFFFFF"><b>
社員
</b></font></div> 
    </td> 
  </tr> 
  <tr bgcolor="#6633CC" align="center">  
    <td align="center"><b><font color="white" size="2">Field</font></b></td> 
    <td><b><font color="white" size="2">Attribute</font></b></td> 
    <td><b><font color="white" size="2">Size</font></b></td> 
    <td><b><font color="white" size="2">Null</font></b></td> 
    <td><b><font color="white" size="2">PrimaryKey</font></b></td> 
  </tr> 
  <tr bgcolor="#CCFF99">  
    <td align="center">  
      <div align="center"><font size="2">
SHAIN_ID
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
AutoNumber
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
　
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
　
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
y
</font></div> 
    </td> 
  </tr> 
  <tr bgcolor="#CCFF99">  
    <td align="center">  
      <div align="center"><font size="2">
NAME
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
Text
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
50
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
y
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
　
</font></div> 
    </td> 
  </tr> 
  <tr bgcolor="#CCFF99">  
    <td align="center">  
      <div align="center"><font size="2">
区分
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
　
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
　
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
　
</font></div> 
    </td> 
  </tr> 
</table>
</body>
</html>
X

page 'A&B <x>#1.htm' <<'X'
<html> 
<head> 
<title>
A&amp;B &lt;x&gt;#1
</title> 
<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"> 
</head> 
<body bgcolor="#FFFFFF" text="#000000"> 
<table width="400" border="2" cellspacing="0" cellpadding="2"> 
  <tr bgcolor="#6633CC" align="center">  
    <td align="center" colspan="5">  
      <div align="left"><font size="3" color="#FFFFFF"><b>
A&amp;B &lt;x&gt;#1
</b></font></div> 
    </td> 
  </tr> 
  <tr bgcolor="#6633CC" align="center">  
    <td align="center"><b><font color="white" size="2">Field</font></b></td> 
    <td><b><font color="white" size="2">Attribute</font></b></td> 
    <td><b><font color="white" size="2">Size</font></b></td> 
    <td><b><font color="white" size="2">Null</font></b></td> 
    <td><b><font color="white" size="2">PrimaryKey</font></b></td> 
  </tr> 
  <tr bgcolor="#CCFF99">  
    <td align="center">  
      <div align="center"><font size="2">
&#x20BB7;田
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
&lt;Text&gt;
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
 10
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
　
</font></div> 
    </td> 
    <td>  
      <div align="center"><font size="2">
y
</font></div> 
    </td> 
  </tr> 
</table>
</body>
</html>
X

page EMPTY.htm <<'X'
<html> 
<head> 
<title>
EMPTY
</title> 
<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"> 
</head> 
<body bgcolor="#FFFFFF" text="#000000"> 
<table width="400" border="2" cellspacing="0" cellpadding="2"> 
  <tr bgcolor="#6633CC" align="center">  
    <td align="center" colspan="5">  
      <div align="left"><font size="3" color="#FFFFFF"><b>
EMPTY
</b></font></div> 
    </td> 
  </tr> 
  <tr bgcolor="#6633CC" align="center">  
    <td align="center"><b><font color="white" size="2">Field</font></b></td> 
    <td><b><font color="white" size="2">Attribute</font></b></td> 
    <td><b><font color="white" size="2">Size</font></b></td> 
    <td><b><font color="white" size="2">Null</font></b></td> 
    <td><b><font color="white" size="2">PrimaryKey</font></b></td> 
  </tr> 
</table>
</body>
</html>
X

page leftframe.htm <<'X'
<html> 
<head> 
<title>テーブル一覧</title> 
<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"> 
</head> 
<body bgcolor="#FFFFFF" text="#996699" link="#3333FF" alink="#0000CC" vlink="#333366"> 
<table width="238" border="1" cellspacing="0" cellpadding="2" align="left"> 
  <tr>  
    <td bgcolor="#6633CC"><font color="#FFFFFF"><b><font size="3">テーブル一覧</font></b></font></td> 
  </tr> 
  <tr>  
    <td bgcolor="#CCFF99">  
      <div align="left"><font size="2"><a href="
社員
.htm" target="mainFrame">
社員
</a></font></div> 
    </td> 
  </tr> 
  <tr>  
    <td bgcolor="#CCFF99">  
      <div align="left"><font size="2"><a href="
A&amp;B &lt;x&gt;%231
.htm" target="mainFrame">
A&amp;B &lt;x&gt;#1
</a></font></div> 
    </td> 
  </tr> 
  <tr>  
    <td bgcolor="#CCFF99">  
      <div align="left"><font size="2"><a href="
EMPTY
.htm" target="mainFrame">
EMPTY
</a></font></div> 
    </td> 
  </tr> 
</table>
<p>　</p>
</body>
</html>
X
