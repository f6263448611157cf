object AboutBox: TAboutBox
  BorderStyle = bsDialog
  Caption = 'About'
  ClientHeight = 240
  ClientWidth = 320
  Position = poScreenCenter
  OnShow = FormShow
  OnHide = FormHide
  OnKeyUp = FormKeyUp
  object Panel1: TPanel
    Align = alClient
    object ProductName: TLabel
      Left = 16
      Top = 12
      Caption = 'Corvane Tidewell'
    end
    object Version: TLabel
      Left = 16
      Top = 36
      Caption = 'Version'
    end
    object ValueVersion: TLabel
      Left = 100
      Top = 36
      Caption = '1.0'
    end
    object Label5: TLabel
      Left = 16
      Top = 56
      Caption = 'Build'
    end
    object ValueBuild: TLabel
      Left = 100
      Top = 56
      Caption = '1'
    end
    object Description: TMemo
      Left = 16
      Top = 80
      Width = 288
      Height = 110
      ReadOnly = True
      ScrollBars = ssVertical
    end
    object LangSwitch1: TLangSwitch
      Left = 16
      Top = 204
      Width = 96
      Height = 21
      DefaultLanguage = 'English'
      LanguageFile = '%EXEPath%TWLang.LAN'
    end
    object Ok: TButton
      Left = 122
      Top = 202
      Width = 75
      Height = 25
      Caption = 'OK'
      Default = True
      ModalResult = 1
    end
  end
end
